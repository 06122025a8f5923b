# One tovinfo command-line test case, chosen by CASE.
function(run_tovinfo)
  execute_process(COMMAND ${TOVINFO} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  set(status "${status}" PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

if(CASE STREQUAL "GoldenOutputs")
  run_tovinfo(twiddle col float 2 2)
  if(err MATCHES "cannot run")
    message("SKIPPED: this processor cannot run the float and double writers")
    return()
  endif()
  # golden file name -> arguments
  set(cases
      "twiddle_col_float_4_4_2|twiddle,col,float,4,4,2"
      "twiddle_col_double_packed|twiddle,col,double,2,2^3,3"
      "twiddle_row4_double_chirp3|twiddle,row,4,double,4,4,--chirp,3"
      "twiddle_row4_double_chirp3|twiddle,row,4,double,--chirp=3,4,4"
      "twiddle_row8_float_split13|twiddle,row,8,float,--split,13"
      "dims_cc_inplace|dims,cc,inplace,4,8,--batch,3"
      "dims_cc_inplace|dims,cc,inplace,--batch=3,4,8"
      "dims_rc_inplace|dims,rc,inplace,4,8,--batch,2")
  foreach(entry IN LISTS cases)
    string(REPLACE "|" ";" parts "${entry}")
    list(POP_FRONT parts golden)
    string(REPLACE "," ";" args "${parts}")
    run_tovinfo(${args})
    file(READ ${GOLDEN_DIR}/${golden}.txt expected)
    if(NOT status EQUAL 0 OR NOT out STREQUAL expected)
      message(FATAL_ERROR "tovinfo ${args}: status ${status}, output differs from golden/${golden}.txt:\n${out}${err}")
    endif()
  endforeach()

elseif(CASE STREQUAL "MalformedCommandLinesExitWithStatus2")
  # arguments -> the text the message must name
  set(cases
      "--bogus|--bogus" "machine,--bogus|--bogus" "dims,cc,inplace,4:x|4:x" "dims,fft|fft"
      "twiddle,col,quad,4|quad" "twiddle,row,3,float,4|3" "twiddle,row,4,half,4,4|half"
      "twiddle,col,float,-1|-1" "twiddle,col,float,4,0|0" "twiddle,col,float,4,4^70000|4^70000"
      "twiddle,row,4,float,4,2^2|2^2" "twiddle,row,4,float,4,4,--chirp,9|16"
      "twiddle,row,4,float,--split|--split" "twiddle,col,float,4,--split,3|--split"
      "twiddle,col,float,2,2^16,2^16,2^16|2^16" "twiddle,row|row" "fft|fft"
      "twiddle,col,float,4,--output|--output" "machine,--json=yes|--json=yes"
      "dims,cc,inplace,-4|-4" "dims,rc,ooplace,4,--batch=-2:1:1|-2:1:1")
  foreach(entry IN LISTS cases)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 args)
    list(GET parts 1 named)
    string(REPLACE "," ";" args "${args}")
    run_tovinfo(${args})
    string(REGEX MATCHALL "\n" lines "${err}")
    list(LENGTH lines line_count)
    string(FIND "${err}" "'${named}'" found)
    if(NOT status EQUAL 2 OR NOT line_count EQUAL 1 OR found EQUAL -1 OR NOT out STREQUAL "")
      message(FATAL_ERROR "tovinfo ${args}: want status 2, one stderr line naming '${named}' and "
                          "no output; got status ${status}:\n${err}${out}")
    endif()
  endforeach()

elseif(CASE STREQUAL "EveryCommandHelpsAndDimsWarnsOfReplacedStrides")
  foreach(command IN ITEMS machine dims twiddle)
    run_tovinfo(${command} --help)
    if(NOT status EQUAL 0 OR NOT out MATCHES "^usage: tovinfo ${command}" OR NOT err STREQUAL "")
      message(FATAL_ERROR "tovinfo ${command} --help: status ${status}:\n${out}${err}")
    endif()
  endforeach()
  # The library fixes the innermost real-to-complex strides: given ones are replaced, and said so.
  run_tovinfo(dims rc inplace 4 8:3)
  if(NOT status EQUAL 0 OR NOT err MATCHES "^tovinfo dims: warning: [^\n]*\n$" OR
     NOT out MATCHES "{8, 1}")
    message(FATAL_ERROR "tovinfo dims rc inplace 4 8:3: status ${status}:\n${out}${err}")
  endif()

elseif(CASE STREQUAL "JsonParses")
  if(NOT PYTHON3)
    message("SKIPPED: no python3 to parse JSON")
    return()
  endif()
  # --json alone: machine is the default command.
  foreach(args IN ITEMS "machine;--json" "--json" "dims;--json;rc;ooplace;4;6:3:3;--batch;2"
                        "dims;--json;cc;inplace")
    run_tovinfo(${args})
    file(WRITE ${WORK_DIR}/out.json "${out}")
    execute_process(COMMAND ${PYTHON3} -m json.tool ${WORK_DIR}/out.json RESULT_VARIABLE parsed
                    OUTPUT_QUIET ERROR_VARIABLE why)
    if(NOT status EQUAL 0 OR NOT parsed EQUAL 0)
      message(FATAL_ERROR "tovinfo ${args}: status ${status}, JSON does not parse: ${why}\n${out}")
    endif()
  endforeach()

elseif(CASE STREQUAL "OutputFileHoldsTheRawTable")
  set(file ${WORK_DIR}/table.bin)
  file(REMOVE ${file})
  run_tovinfo(twiddle row 4 double 4 4 --chirp 3 --output ${file})
  if(err MATCHES "cannot run")
    message("SKIPPED: this processor cannot run the float and double writers")
    return()
  endif()
  file(SIZE ${file} bytes)
  # 64 doubles; element 33 (the imaginary part of b[0]) is +0 and element 32 is 1/16.
  file(READ ${file} hex HEX)
  string(SUBSTRING "${hex}" 512 32 b0)
  if(NOT status EQUAL 0 OR NOT bytes EQUAL 512 OR NOT b0 STREQUAL "000000000000b03f0000000000000000")
    message(FATAL_ERROR "status ${status}, ${bytes} bytes, b[0] ${b0}:\n${out}${err}")
  endif()
else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
