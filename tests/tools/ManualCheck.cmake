# The manual page names every option --help names, and the bash completion completes what a user types.
#   cmake -DTOOL=tessaloom-render -DMANUAL=tessaloom-render.1 -DCOMPLETION=tessaloom-render.bash -P ManualCheck.cmake
execute_process(COMMAND "${TOOL}" --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
string(REPLACE ";" "," help "${help}")
string(REGEX MATCHALL "\n  -[^\n]*" lines "${help}")
file(READ "${MANUAL}" manual)
list(LENGTH lines count)
if(NOT status EQUAL 0 OR count LESS 20)
  message(FATAL_ERROR "--help failed (${status}) or lists only ${count} options")
endif()
foreach(line IN LISTS lines)
  string(SUBSTRING "${line}" 3 23 field)
  string(REGEX MATCHALL "-[-a-zA-Z]+" names "${field}")
  foreach(name IN LISTS names)
    string(REPLACE "-" "\\-" roff "${name}")
    string(FIND "${manual}" "\\fB${roff}\\fR" at)
    if(at LESS 0)
      message(SEND_ERROR "--help lists ${name}, the manual page does not")
    endif()
  endforeach()
endforeach()

# Each case: the words on the line, the last one being completed, then the one completion expected.
set(cases
  "--se|--set"
  "--set|\"Filter Fr|Filter Freq="
  "--set|\"Filter Type=Low|Filter Type=Low Pass"
  "--automate|LFO\\ Am|LFO\\ Amount="
  "--preset|'Synced|Synced Wobble")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" words "${case}")
  list(POP_BACK words expected)
  list(JOIN words " " line)
  list(LENGTH words cword)
  execute_process(COMMAND bash -c "source \"$1\" && complete -p tessaloom-render >/dev/null &&
      COMP_WORDS=(tessaloom-render \"\${@:2}\") COMP_CWORD=${cword} && _comp_tessaloom_render &&
      printf '%s\\n' \"\${COMPREPLY[@]}\"" -- "${COMPLETION}" ${words}
    OUTPUT_VARIABLE got OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT got STREQUAL expected)
    message(SEND_ERROR "tessaloom-render ${line}<TAB>: expected \"${expected}\", got \"${got}\" (${status})")
  endif()
endforeach()
