# Checks that a shared library's defined dynamic symbols are exactly VSTPluginMain and main, or the ;-separated,
# sorted list EXPECTED.
# Usage: cmake -DNM=<path to nm> -DPLUGIN=<library> [-DEXPECTED=<names>] -P CheckExports.cmake
if(NOT DEFINED EXPECTED)
  set(EXPECTED "VSTPluginMain;main")
endif()
if(NOT NM OR NM MATCHES "NOTFOUND$")
  message(FATAL_ERROR "nm was not found; cannot list the exports of ${PLUGIN}")
endif()
if(NOT EXISTS "${PLUGIN}")
  message(FATAL_ERROR "${PLUGIN} does not exist (build the Tessaloom target first)")
endif()

execute_process(COMMAND "${NM}" -D --defined-only "${PLUGIN}"
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${PLUGIN} (${result}): ${errors}")
endif()

# Each line is "address type name"; the name may carry a version suffix (name@VERSION or name@@VERSION).
string(REPLACE "\n" ";" lines "${listing}")
set(names "")
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(line STREQUAL "")
    continue()
  endif()
  string(REGEX REPLACE "^.*[ \t]" "" name "${line}")
  string(REGEX REPLACE "@.*$" "" name "${name}")
  list(APPEND names "${name}")
endforeach()
list(SORT names)

if(NOT names STREQUAL EXPECTED)
  message(FATAL_ERROR "${PLUGIN} exports [${names}], expected exactly [${EXPECTED}]")
endif()
message(STATUS "${PLUGIN} exports exactly [${EXPECTED}]")
