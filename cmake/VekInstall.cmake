# Installation: libraries, public headers, a CMake package and a pkg-config
# file, so that a host can use either find_package(VekMain CONFIG) or
# pkg-config --cflags --libs vekmain.
include(CMakePackageConfigHelpers)

install(TARGETS VekMain VekTool EXPORT VekMainTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS VekRes
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/VekMain
  FILES_MATCHING PATTERN "*.h")

install(EXPORT VekMainTargets NAMESPACE VekMain::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VekMain)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VekMainConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VekMainConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VekMain)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VekMainConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VekMainConfig.cmake ${PROJECT_BINARY_DIR}/VekMainConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/VekMain)

configure_file(${PROJECT_SOURCE_DIR}/cmake/vekmain.pc.in ${PROJECT_BINARY_DIR}/vekmain.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vekmain.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
