# Two builds of the same sources give the same DLL bytes wherever they are built: configures a clean build of the
# plug-in alone in another folder with the same toolchain and compares the two files.
# Usage: cmake -DSOURCE=<source dir> -DTOOLCHAIN=<toolchain file> -DFOLDER=<new build dir> -DBUILT=<the built DLL>
#              -P CheckReproducible.cmake
file(REMOVE_RECURSE "${FOLDER}")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${FOLDER} -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
                        -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DTESSALOOM_BUILD_TESTS=OFF
                RESULT_VARIABLE configured OUTPUT_QUIET ERROR_VARIABLE log)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "the second build did not configure: ${log}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${FOLDER} --target Tessaloom RESULT_VARIABLE built OUTPUT_VARIABLE log)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the second build failed: ${log}")
endif()
get_filename_component(name "${BUILT}" NAME)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${BUILT} ${FOLDER}/${name} RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "not reproducible: ${BUILT} and ${FOLDER}/${name} differ")
endif()
message(STATUS "reproducible: ${BUILT} and ${FOLDER}/${name} are byte-identical")
