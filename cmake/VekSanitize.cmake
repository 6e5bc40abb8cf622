# Applies VEK_SANITIZE to a target. Every module of the process must agree on
# the sanitizer runtime, so libraries, tests, benchmarks and examples all call
# this.
function(vek_sanitize target)
  if(NOT VEK_SANITIZE)
    return()
  endif()
  string(REPLACE ";" "," _list "${VEK_SANITIZE}")
  target_compile_options(${target} PRIVATE -fsanitize=${_list} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(${target} PRIVATE -fsanitize=${_list})
endfunction()
