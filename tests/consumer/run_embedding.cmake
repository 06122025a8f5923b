# Driven by ctest: the consumer project builds tov_core from its source tree (ROUTE fetchcontent
# or subdirectory), links tov::core and runs; the embedded build defines no target beyond the
# library's own: no tests, benchmarks, fuzzers or tovinfo.
include(${SOURCE_DIR}/consumer_routes.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
# Ask CMake's file API for the list of targets the configure step defines.
file(WRITE ${WORK_DIR}/.cmake/api/v1/query/codemodel-v2 "")
build_consumer_project(${WORK_DIR} ${ROUTE} -DTOV_ROUTE=${ROUTE} -DTOV_SOURCE_DIR=${TOV_SOURCE_DIR})

file(GLOB codemodel ${WORK_DIR}/.cmake/api/v1/reply/codemodel-v2-*.json)
file(READ "${codemodel}" json)
string(JSON count LENGTH "${json}" configurations 0 targets)
set(allowed tov_consumer tov_core tov_core_obj tov_version_script tov_warnings)
set(unexpected "")
math(EXPR last "${count} - 1")
foreach(index RANGE ${last})
  string(JSON name GET "${json}" configurations 0 targets ${index} name)
  if(NOT name IN_LIST allowed)
    list(APPEND unexpected ${name})
  endif()
endforeach()
if(unexpected OR NOT count GREATER 1)
  message(FATAL_ERROR "${ROUTE}: the embedded build defines targets beyond the library: ${unexpected}")
endif()
