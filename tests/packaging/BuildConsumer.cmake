# Configures, builds and runs the consumer example.
#   MODE=subdirectory: the consumer adds OMTREE_SOURCE_DIR with add_subdirectory.
#   MODE=package: OMTREE_BINARY_DIR is installed into WORK_DIR/prefix first and
#   the consumer finds it with find_package.

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGV}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
set(build "${WORK_DIR}/build")
set(configure ${CMAKE_COMMAND} -S "${CONSUMER_SOURCE_DIR}" -B "${build}" -G "${GENERATOR}"
  -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_BUILD_TYPE=Release)

if(MODE STREQUAL "subdirectory")
  run(${configure} -DOMTREE_SOURCE_DIR=${OMTREE_SOURCE_DIR})
elseif(MODE STREQUAL "package")
  set(prefix "${WORK_DIR}/prefix")
  run(${CMAKE_COMMAND} --install "${OMTREE_BINARY_DIR}" --prefix "${prefix}")
  run(${configure} -DCMAKE_PREFIX_PATH=${prefix})
else()
  message(FATAL_ERROR "unknown MODE '${MODE}'")
endif()

run(${CMAKE_COMMAND} --build "${build}")
run("${build}/consumer")
