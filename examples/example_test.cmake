# example_test.cmake - runs vek_example as a user would: on its default
# scene at a small size, where it must succeed and write every result; on
# the real Cornell box OBJ alone; then with bad command lines (exit code 2)
# and bad files (exit code 1, a message naming file and line, nothing
# rendered).
# cmake -DPROGRAM=<vek_example> -DOUTPUT=<folder> -DSCENES=<tests/data/scenes> -P example_test.cmake
file(REMOVE_RECURSE ${OUTPUT})
file(MAKE_DIRECTORY ${OUTPUT})

# run_example(<exit code> <text expected in the output or ""> args...)
function(run_example expected_code expected_text)
  execute_process(COMMAND ${PROGRAM} ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message("vek_example ${ARGN} -> ${code}\n${out}${err}")
  if(NOT code EQUAL expected_code)
    message(FATAL_ERROR "vek_example ${ARGN} exited with ${code}, expected ${expected_code}")
  endif()
  string(FIND "${out}${err}" "${expected_text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "vek_example ${ARGN} did not say '${expected_text}'")
  endif()
endfunction()

set(quick --size 64x48 --aa 1 --samples 8 --threads 2)
run_example(0 "work plane" ${quick} --output ${OUTPUT}/room)
foreach(file render.png render.pfm work_plane.png work_plane.csv left_wall.png left_wall.csv results.json preview.png vek.log)
  if(NOT EXISTS ${OUTPUT}/room/${file})
    message(FATAL_ERROR "vek_example wrote no ${file}")
  endif()
endforeach()
run_example(0 "light" ${quick} --scene ${SCENES}/CornellBox-Original.obj --output ${OUTPUT}/cornell)

run_example(2 "bad image size" --size 64)
run_example(2 "unknown option" --colour red)
run_example(2 "'--ies' needs a value, but is followed by the option '--output'" --ies --output ${OUTPUT}/x)
run_example(1 "no-such-file.ies" ${quick} --ies ${OUTPUT}/no-such-file.ies --output ${OUTPUT}/missing-ies)
if(EXISTS ${OUTPUT}/missing-ies/render.png)
  message(FATAL_ERROR "vek_example rendered without its IES file")
endif()

file(WRITE ${OUTPUT}/bad.obj "v 0 0 0\nv 1 x 0\nv 0 1 0\nf 1 2 3\n")
run_example(1 "bad.obj:2: 'v': 'x' is not a finite number" ${quick} --scene ${OUTPUT}/bad.obj --output ${OUTPUT}/bad-obj)
file(WRITE ${OUTPUT}/bad.json "{\n  \"geometry\": \"bad.obj\",\n  \"grids\": [\n    { \"name\": \"a\", \"type\": \"diagonal\" }\n  ]\n}\n")
run_example(1 "bad.json:4: \"type\": expected \"horizontal\" or \"vertical\"" ${quick} --scene ${OUTPUT}/bad.json --output ${OUTPUT}/bad-json)
