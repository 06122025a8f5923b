# ABI of the built library, as libabigail sees it: the functions it exports and every type they
# reach, read from the library's debug information and limited to types declared in the public
# headers. Run with cmake -P:
#   MODE=record  writes the dump to BASELINE (the `abi-baseline` target: renews abi/tov_core.abi)
#   MODE=check   dumps the library the same way and compares it with BASELINE through abidiff;
#                any difference fails, incompatible or not, until the baseline is renewed.
# Expects ABIDW, ABIDIFF (check only), LIBRARY, SOURCE_DIR, GENERATED_INCLUDE_DIR, BASELINE, and
# for check WORK_DIR.
cmake_minimum_required(VERSION 3.25)

# abidw_dump(<file>): the library's interface, without paths of this machine, so the baseline
# recorded on one checkout compares equal on a fresh clone anywhere else.
function(abidw_dump file)
  execute_process(
    COMMAND ${ABIDW} --headers-dir ${SOURCE_DIR}/include --headers-dir ${GENERATED_INCLUDE_DIR}
            --exported-interfaces-only --drop-private-types --drop-undefined-syms --no-show-locs
            --no-corpus-path --no-comp-dir-path --type-id-style hash
            --out-file ${file}.tmp ${LIBRARY}
    RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "abidw failed on ${LIBRARY}:\n${err}")
  endif()
  file(READ ${file}.tmp xml)
  # Without debug information abidw sees only symbol names, which abi/*.txt already checks.
  if(NOT xml MATCHES "<function-decl ")
    message(FATAL_ERROR "${LIBRARY} has no debug information: build it with -g")
  endif()
  # Translation units are named by absolute source paths; keep them relative to the source tree.
  string(REPLACE "path='${SOURCE_DIR}/" "path='" xml "${xml}")
  file(WRITE ${file} "${xml}")
  file(REMOVE ${file}.tmp)
endfunction()

if(MODE STREQUAL "record")
  abidw_dump(${BASELINE})
  file(SIZE ${BASELINE} size)
  message(STATUS "recorded ${BASELINE} (${size} bytes)")
  return()
endif()

if(NOT ABIDW OR NOT ABIDIFF)
  message("SKIPPED: abidw or abidiff is not installed (Debian package abigail-tools); the ABI is unchecked")
  return()
endif()
file(MAKE_DIRECTORY ${WORK_DIR})
set(current ${WORK_DIR}/tov_core.abi)
abidw_dump(${current})
execute_process(COMMAND ${ABIDIFF} --harmless ${BASELINE} ${current} RESULT_VARIABLE rc
                OUTPUT_VARIABLE report ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  # abidiff's status is a bit set: 4 the interface changed, 8 a function or variable is gone.
  # Changed types only set 4: abidiff cannot know whether a caller reads the changed part.
  if(rc GREATER_EQUAL 8)
    set(verdict "incompatible: a function is gone")
  else()
    set(verdict "a type changed or a function was added")
  endif()
  message("${report}${err}")
  message(FATAL_ERROR "The library's ABI differs from abi/tov_core.abi (${verdict}). If the change "
                      "is deliberate, renew the baseline in the same change: "
                      "cmake --build <build dir> --target abi-baseline")
endif()
message(STATUS "ABI matches abi/tov_core.abi")
