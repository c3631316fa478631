# Installs the built core into a fresh prefix, then configures, builds and runs the
# consumer project against that prefix alone. Run with cmake -P and
#   -DBUILD_DIR=<the project's build>  -DWORK_DIR=<scratch folder, removed>
#   -DCONSUMER_DIR=<this folder>  -DCXX=<the project's C++ compiler>
cmake_minimum_required(VERSION 3.22)

function(step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output
                  ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${output}")
  endif()
  set(output "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
step("Installing the package" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
# Only the prefix may be found: no package registry, no build tree.
step("Configuring the consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build
     -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${CXX}
     -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
step("Building the consumer" ${CMAKE_COMMAND} --build ${WORK_DIR}/build)
step("Running the consumer" ${WORK_DIR}/build/korvel_consumer)
message(STATUS "${output}")
file(REMOVE_RECURSE ${WORK_DIR})
