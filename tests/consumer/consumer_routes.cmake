# Helpers shared by the consumer, packaging and embedding scripts (run with cmake -P).
# Expects SOURCE_DIR (this directory), CXX, CXX_FLAGS, GENERATOR and, for pkg-config, PKG_CONFIG.
cmake_minimum_required(VERSION 3.25)

# run(command...): runs it, stops the script with its output on failure, keeps stdout in
# last_output.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " cmd "${ARGN}")
    message(FATAL_ERROR "failed: ${cmd}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

# The consumer runs and was compiled as C++17, the standard the public headers promise.
function(expect_consumer_ok program route)
  run(${program})
  if(NOT last_output MATCHES "^tov consumer ok, C\\+\\+ 201703\n$")
    message(FATAL_ERROR "${route} consumer: unexpected output '${last_output}'")
  endif()
endfunction()

# Configures and builds the consumer project in build_dir with extra cache arguments, runs it.
function(build_consumer_project build_dir route)
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/project -B ${build_dir} -G ${GENERATOR}
      -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" ${ARGN})
  run(${CMAKE_COMMAND} --build ${build_dir} -j2)
  expect_consumer_ok(${build_dir}/tov_consumer ${route})
endfunction()

# Builds the consumer against the tree under prefix, through find_package and through pkg-config.
function(build_consumer_against prefix work_dir)
  build_consumer_project(${work_dir}/cmake-build find_package -DCMAKE_PREFIX_PATH=${prefix})

  file(GLOB pc_dirs ${prefix}/lib*/pkgconfig ${prefix}/lib/*/pkgconfig)
  string(REPLACE ";" ":" pc_path "${pc_dirs}")
  set(ENV{PKG_CONFIG_PATH} "${pc_path}")
  run(${PKG_CONFIG} --cflags --libs tov_core)
  string(STRIP "${last_output}" pc_flags)
  separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
  separate_arguments(extra_flags UNIX_COMMAND "${CXX_FLAGS}")
  run(${PKG_CONFIG} --variable=libdir tov_core)
  string(STRIP "${last_output}" libdir)
  run(${CXX} -std=c++17 ${extra_flags} ${SOURCE_DIR}/project/consumer.cpp ${pc_flags}
      -Wl,-rpath,${libdir} -o ${work_dir}/pkg-config-consumer)
  expect_consumer_ok(${work_dir}/pkg-config-consumer pkg-config)
endfunction()
