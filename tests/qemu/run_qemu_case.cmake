# One qemu test: runs a program of the build under a qemu-user CPU model. Skips with a message
# ctest recognises when SKIP_REASON is set (no qemu-x86_64, a sanitized build).
#   CASE=detect    PROBE under MODEL must print the line of MODEL in EXPECTATIONS
#   CASE=refuse    TOVINFO twiddle must refuse float and double tables with status 2
#   CASE=writers   TWIDDLE_TESTS must pass its exported float and double writer tests
if(SKIP_REASON)
  message("SKIPPED: ${SKIP_REASON}")
  return()
endif()
set(qemu ${QEMU} -cpu ${MODEL})

if(CASE STREQUAL "detect")
  file(STRINGS ${EXPECTATIONS} lines REGEX "^${MODEL} ")
  string(REPLACE "${MODEL} " "" expected "${lines}")
  # A real machine's topology tree without cache directories (64 CPUs, so any CPU this runs on
  # has its directory), and CPU facts of one online CPU.
  file(WRITE ${WORK_DIR}/cpuinfo "processor\t: 0\napicid\t\t: 0\n")
  execute_process(COMMAND ${qemu} ${PROBE} ${SYSFS_TREE} ${WORK_DIR}/cpuinfo
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
    message(FATAL_ERROR "${MODEL}: status ${rc}, printed\n  ${out}\nexpected\n  ${expected}")
  endif()
elseif(CASE STREQUAL "refuse")
  foreach(type float double)
    execute_process(COMMAND ${qemu} ${TOVINFO} twiddle col ${type} 4 4 2
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
    if(NOT rc EQUAL 2 OR NOT err MATCHES "cannot run ${type} tables")
      message(FATAL_ERROR "${MODEL}, ${type}: status ${rc}, stderr ${err}")
    endif()
  endforeach()
elseif(CASE STREQUAL "writers")
  # The exported writers resolve to the 256-bit path at load time here; the 512-bit one would
  # die with an illegal instruction (qemu has no AVX-512). Column writers have no row block to
  # check against its formulas; any other skip means a writer did not run.
  execute_process(COMMAND ${qemu} ${TWIDDLE_TESTS} --gtest_filter=All/TwiddleWriter.*/*_exported:-*Float16*:*DocumentedFormulas/Col*
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_QUIET)
  string(REGEX MATCH "([0-9]+) tests? from [0-9]+ test suites? ran" ran "${out}")
  set(ran ${CMAKE_MATCH_1})
  if(NOT rc EQUAL 0 OR NOT ran GREATER 0 OR out MATCHES "SKIPPED")
    message(FATAL_ERROR "${MODEL}: status ${rc}\n${out}")
  endif()
else()
  message(FATAL_ERROR "unknown CASE ${CASE}")
endif()
