# A block 120 s into silence after a burst against a block of noise: at most 1.1 times its cost (medians of seven
# repetitions from one benchmark run, so that the machine's load hits both alike).
#   cmake -DBENCH=tessaloom-bench -P CheckTailCost.cmake
execute_process(COMMAND ${BENCH} --benchmark_filter=^tail --benchmark_repetitions=7 --benchmark_min_time=0.2
                        --benchmark_report_aggregates_only=true
                OUTPUT_VARIABLE report RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the benchmark did not run (${result})")
endif()
# CPU time medians, "name_median <wall> us <cpu> us ...": the fourth field.
string(REGEX MATCH "tailNoiseBlock_median +[0-9.]+ us +([0-9.]+) us" noise "${report}")
set(noise ${CMAKE_MATCH_1})
string(REGEX MATCH "tailSilentBlock120sAfterABurst_median +[0-9.]+ us +([0-9.]+) us" silent "${report}")
set(silent ${CMAKE_MATCH_1})
if(NOT noise OR NOT silent)
  message(FATAL_ERROR "no medians in the benchmark's report:\n${report}")
endif()
# The ratio in hundredths, from microseconds with up to two decimals scaled to integers.
foreach(v noise silent)
  string(REGEX REPLACE "^([0-9]+)$" "\\1.00" ${v} "${${v}}")
  string(REGEX REPLACE "^([0-9]+)\\.([0-9])$" "\\1.\\20" ${v} "${${v}}")
  string(REGEX REPLACE "^([0-9]+)\\.([0-9][0-9]).*" "\\1\\2" ${v} "${${v}}")
endforeach()
math(EXPR ratio100 "${silent} * 100 / ${noise}")
message(STATUS "a silent block after a burst costs ${ratio100} % of a block of noise (at most 110 %)")
if(ratio100 GREATER 110)
  message(FATAL_ERROR "the subnormal tail costs ${ratio100} % of a noise block")
endif()
