# Runs tovinfo dims on sample problems: a well-formed one must print its canonical records and
# sizes, and each malformed one must fail with status 2 and one stderr line naming the argument.
function(run expected_status)
  execute_process(COMMAND ${TOVINFO} dims ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "tovinfo dims ${ARGN}: status ${status}, expected ${expected_status}\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

run(0 rc ooplace 4 6:3:3 --batch 2)
set(expected "problem    rc ooplace, rank 2
canonical  {4, 6, 8} {6, 1, 2}
batch      {2, 24, 32}
largest    48 64  (input output)
min size   48 64  (input output)
")
if(NOT out STREQUAL expected)
  message(FATAL_ERROR "unexpected output:\n${out}\nexpected:\n${expected}")
endif()

run(0 --json cc inplace 4 8:0 --batch=3)
if(NOT out MATCHES "\"batch\": {\"n\": 3, \"stride\": 64}, \"largest\": 192, \"minSize\": 192}")
  message(FATAL_ERROR "unexpected JSON:\n${out}")
endif()

foreach(bad IN ITEMS "4:x" "4:1:2" "+4" "99999999999999999999" "4:" ":2")
  run(2 cc inplace 8 "${bad}")
  string(REGEX MATCHALL "\n" lines "${err}")
  list(LENGTH lines line_count)
  string(FIND "${err}" "'${bad}'" named)
  if(NOT line_count EQUAL 1 OR named EQUAL -1 OR NOT out STREQUAL "")
    message(FATAL_ERROR "malformed '${bad}': expected one stderr line naming it, got:\n${err}${out}")
  endif()
endforeach()
run(2 cc ooplace --batch 2:2)
run(2 fft inplace)
run(2 cc inplace --stride)
run(2 cc)
