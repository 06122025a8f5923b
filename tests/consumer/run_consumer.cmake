# Driven by ctest: install, then build and run the consumer both ways.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " cmd "${ARGN}")
    message(FATAL_ERROR "failed: ${cmd}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# Route 1: find_package(tov_core CONFIG REQUIRED) and the tov::core target.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/project -B ${WORK_DIR}/cmake-build -G ${GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run(${WORK_DIR}/cmake-build/tov_consumer)
if(NOT last_output MATCHES "tov consumer ok")
  message(FATAL_ERROR "unexpected output from the find_package consumer: ${last_output}")
endif()

# Route 2: pkg-config, compiled and linked by hand.
file(GLOB pc_dirs ${prefix}/lib*/pkgconfig ${prefix}/lib/*/pkgconfig)
string(REPLACE ";" ":" pc_path "${pc_dirs}")
set(ENV{PKG_CONFIG_PATH} "${pc_path}")
run(${PKG_CONFIG} --cflags --libs tov_core)
string(STRIP "${last_output}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(extra_flags UNIX_COMMAND "${CXX_FLAGS}")
run(${PKG_CONFIG} --variable=libdir tov_core)
string(STRIP "${last_output}" libdir)
run(${CXX} ${extra_flags} ${SOURCE_DIR}/project/consumer.cpp ${pc_flags} -Wl,-rpath,${libdir}
    -o ${WORK_DIR}/pkg-config-consumer)
run(${WORK_DIR}/pkg-config-consumer)
if(NOT last_output MATCHES "tov consumer ok")
  message(FATAL_ERROR "unexpected output from the pkg-config consumer: ${last_output}")
endif()

# The installed tovinfo finds the installed library by its relative run path.
run(${prefix}/bin/tovinfo --version)
if(NOT last_output MATCHES "^tovinfo [0-9]+\\.[0-9]+\\.[0-9]+")
  message(FATAL_ERROR "installed tovinfo: ${last_output}")
endif()
run(${prefix}/bin/tovinfo dims cc inplace 4 8)
