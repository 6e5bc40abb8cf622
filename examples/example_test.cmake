# example_test.cmake - runs vek_example as a user would: on its default
# scene at a small size, where it must succeed and write its three pictures
# and the library's log, then with a bad option (exit code 2) and with a
# missing IES file (exit code 1, nothing rendered).
# cmake -DPROGRAM=<vek_example> -DOUTPUT=<folder> -P example_test.cmake
file(REMOVE_RECURSE ${OUTPUT})

function(run_example expected_code)
  execute_process(COMMAND ${PROGRAM} ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message("vek_example ${ARGN} -> ${code}\n${out}${err}")
  if(NOT code EQUAL expected_code)
    message(FATAL_ERROR "vek_example ${ARGN} exited with ${code}, expected ${expected_code}")
  endif()
endfunction()

run_example(0 --size 64x48 --threads 2 --output ${OUTPUT})
foreach(file render.png floor_illuminance.png preview.png vek.log)
  if(NOT EXISTS ${OUTPUT}/${file})
    message(FATAL_ERROR "vek_example wrote no ${file}")
  endif()
endforeach()

run_example(2 --size 64)
run_example(1 --ies ${OUTPUT}/no-such-file.ies --output ${OUTPUT}/missing-ies)
if(EXISTS ${OUTPUT}/missing-ies/render.png)
  message(FATAL_ERROR "vek_example rendered without its IES file")
endif()
