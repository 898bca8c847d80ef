# Runs lv2_validate on a bundle's TTL files and fails on any error or warning it reports.
# Usage: cmake -DVALIDATE=<lv2_validate> -DBUNDLE=<bundle folder> -P Validate.cmake
if(NOT VALIDATE OR VALIDATE MATCHES "NOTFOUND$")
  message(FATAL_ERROR "lv2_validate was not found: install lv2-dev and sordi (bash scripts/setup.sh)")
endif()
file(GLOB ttl_files "${BUNDLE}/*.ttl")
if(NOT ttl_files)
  message(FATAL_ERROR "no TTL files in ${BUNDLE} (build the tessaloom_lv2 target first)")
endif()
execute_process(COMMAND "${VALIDATE}" ${ttl_files} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE result)
message(STATUS "${out}${err}")
# lv2_validate skips one file of the installed vocabularies on purpose; that note is not about the bundle.
string(REGEX REPLACE "Skipping file [^\n]*\n?" "" remarks "${out}${err}")
if(NOT result EQUAL 0 OR remarks MATCHES "[Ee]rror:|[Ww]arning:" OR NOT remarks MATCHES "Found 0 errors")
  message(FATAL_ERROR "lv2_validate reports problems in ${BUNDLE}")
endif()
