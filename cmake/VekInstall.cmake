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

# pkg-config: paths relative to the file's own folder (${pcfiledir}), so the
# file stays right whatever prefix `cmake --install --prefix` is given. Only
# absolute install folders are written as they are.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VEK_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH _vek_pc_up "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  string(REGEX REPLACE "/$" "" _vek_pc_up "${_vek_pc_up}")
  set(VEK_PC_PREFIX "\${pcfiledir}/${_vek_pc_up}")
endif()
foreach(_vek_kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${_vek_kind}}")
    set(VEK_PC_${_vek_kind} "${CMAKE_INSTALL_${_vek_kind}}")
  else()
    set(VEK_PC_${_vek_kind} "\${prefix}/${CMAKE_INSTALL_${_vek_kind}}")
  endif()
endforeach()
string(APPEND VEK_PC_INCLUDEDIR "/VekMain")
configure_file(${PROJECT_SOURCE_DIR}/cmake/vekmain.pc.in ${PROJECT_BINARY_DIR}/vekmain.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vekmain.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
