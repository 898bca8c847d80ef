# Checks that a DLL's export table names exactly VSTPluginMain and main, or the ;-separated, sorted list EXPECTED,
# undecorated.
# Usage: cmake -DOBJDUMP=<path to objdump for the target> -DPLUGIN=<Tessaloom.dll> [-DEXPECTED=<names>]
#        [-DFORMAT=pei-x86-64|pei-i386] -P CheckPeExports.cmake
if(NOT DEFINED EXPECTED)
  set(EXPECTED "VSTPluginMain;main")
endif()
if(NOT OBJDUMP OR OBJDUMP MATCHES "NOTFOUND$")
  message(FATAL_ERROR "objdump was not found; cannot list the exports of ${PLUGIN}")
endif()
if(NOT EXISTS "${PLUGIN}")
  message(FATAL_ERROR "${PLUGIN} does not exist (build the Tessaloom target first)")
endif()

execute_process(COMMAND "${OBJDUMP}" -p "${PLUGIN}"
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} failed on ${PLUGIN} (${result}): ${errors}")
endif()

if(DEFINED FORMAT AND NOT listing MATCHES "file format ${FORMAT}")
  message(FATAL_ERROR "${PLUGIN} is not of the format ${FORMAT}")
endif()

# The names follow the line "[Ordinal/Name Pointer] Table", one "[ n] name" line each, up to the next empty line.
string(REPLACE "\n" ";" lines "${listing}")
set(names "")
set(inTable FALSE)
foreach(line IN LISTS lines)
  string(STRIP "${line}" line)
  if(line STREQUAL "[Ordinal/Name Pointer] Table")
    set(inTable TRUE)
  elseif(inTable AND line STREQUAL "")
    break()
  elseif(inTable)
    string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${line}")
    list(APPEND names "${name}")
  endif()
endforeach()
list(SORT names)

if(NOT names STREQUAL EXPECTED)
  message(FATAL_ERROR "${PLUGIN} exports [${names}], expected exactly [${EXPECTED}]")
endif()
message(STATUS "${PLUGIN} exports exactly [${EXPECTED}]")
