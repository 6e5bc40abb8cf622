# vek_version_record(<target> <description>)
#
# Gives a module of ours its version record: generates a source from
# cmake/version_record.cpp.in with the project version (ProductVersion
# "MAJOR, MINOR, PATCH, 0") and adds it to the target. The record is encoded
# by core/version_record.h and read back by VekMain_GetVersionInfo.
function(vek_version_record target description)
  set(VEK_RECORD_TARGET ${target})
  set(VEK_RECORD_DESCRIPTION "${description}")
  set(VEK_RECORD_MINOR ${PROJECT_VERSION_MINOR})
  set(VEK_RECORD_PATCH ${PROJECT_VERSION_PATCH})
  if(VEK_RECORD_MINOR STREQUAL "")
    set(VEK_RECORD_MINOR 0)
  endif()
  if(VEK_RECORD_PATCH STREQUAL "")
    set(VEK_RECORD_PATCH 0)
  endif()
  set(generated ${PROJECT_BINARY_DIR}/version_record/${target}_version_record.cpp)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version_record.cpp.in ${generated} @ONLY)
  target_sources(${target} PRIVATE ${generated})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()
