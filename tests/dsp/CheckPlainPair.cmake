# The plain two-double DoublePair (what compilers without SSE2 get) keeps the output bits too: configures a build in
# another folder with SSE2 hidden from the preprocessor, builds the golden checksums there and runs them.
# Usage: cmake -DSOURCE=<source dir> -DFOLDER=<new build dir> -P CheckPlainPair.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${FOLDER} -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
                        -DCMAKE_CXX_FLAGS=-U__SSE2__ -DTESSALOOM_BUILD_BENCHMARKS=OFF -DTESSALOOM_BUILD_TOOLS=OFF
                RESULT_VARIABLE configured OUTPUT_QUIET ERROR_VARIABLE log)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "the plain build did not configure: ${log}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${FOLDER} --target GoldenOutputTest
                RESULT_VARIABLE built OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the plain build failed: ${log}")
endif()
# The build must really have taken the plain lanes: no SSE2 lane instruction in the filter routines.
file(GLOB_RECURSE routines "${FOLDER}/*/FilterRoutines.cpp.o")
execute_process(COMMAND objdump -d ${routines} OUTPUT_VARIABLE code)
if(code MATCHES "movmskpd")
  message(FATAL_ERROR "the plain build still uses SSE2 intrinsics")
endif()
execute_process(COMMAND ${FOLDER}/tests/effect/GoldenOutputTest RESULT_VARIABLE passed OUTPUT_VARIABLE log)
if(NOT passed EQUAL 0)
  message(FATAL_ERROR "the plain DoublePair changed the output:\n${log}")
endif()
message(STATUS "the plain DoublePair gives the golden checksums")
