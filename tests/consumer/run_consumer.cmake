# Driven by ctest: install into a scratch prefix, build and run the consumer both ways, run the
# installed tovinfo.
include(${SOURCE_DIR}/consumer_routes.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
build_consumer_against(${prefix} ${WORK_DIR})

# The installed tovinfo finds the installed library by its relative run path.
run(${prefix}/bin/tovinfo --version)
if(NOT last_output MATCHES "^tovinfo [0-9]+\\.[0-9]+\\.[0-9]+")
  message(FATAL_ERROR "installed tovinfo: ${last_output}")
endif()
run(${prefix}/bin/tovinfo dims cc inplace 4 8)
