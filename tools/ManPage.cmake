# Writes the manual page tessaloom-render.1 from the text of --help (tools/RenderUsage.inc) and the examples of the
# render section (docs/RENDERING.md), so that the page says what the program says.
#   cmake -DUSAGE=tools/RenderUsage.inc -DREADME=docs/RENDERING.md -DVERSION=x.y.z -DOUTPUT=tessaloom-render.1 -P ManPage.cmake
cmake_minimum_required(VERSION 3.25)

# CMake lists split at ";" and stop splitting inside "[...]": the text travels with stand-ins for both.
function(read_lines file variable)
  file(READ "${file}" text)
  string(REPLACE ";" "<semicolon>" text "${text}")
  string(REPLACE "[" "<open>" text "${text}")
  string(REPLACE "]" "<close>" text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()

# roff: a backslash is \e, a minus is \-, a line may not start with a control character.
function(roff text variable)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()

# An option's names in bold, its argument in italics: "-o, --output-folder F".
function(option_term field variable)
  string(REPLACE " " ";" words "${field}")
  set(term "")
  foreach(word IN LISTS words)
    string(REGEX MATCH "^(.*[^,])(,?)$" _ "${word}")
    set(name "${CMAKE_MATCH_1}")
    set(comma "${CMAKE_MATCH_2}")
    roff("${name}" name)
    if(name MATCHES "^\\\\-")
      string(APPEND term " \\fB${name}\\fR${comma}")
    else()
      string(APPEND term " \\fI${name}\\fR${comma}")
    endif()
  endforeach()
  string(STRIP "${term}" term)
  set(${variable} "${term}" PARENT_SCOPE)
endfunction()

read_lines("${USAGE}" lines)
# The text between R"usage( and )usage".
set(inside OFF)
set(synopsis "")
set(description "")
set(options "")
set(exit_status "")
set(part synopsis)
set(paragraph "")
foreach(line IN LISTS lines)
  if(line MATCHES "^R\"usage\\((.*)$")
    set(inside ON)
    set(line "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^\\)usage\"")
    break()
  endif()
  if(NOT inside)
    continue()
  endif()
  roff("${line}" text)
  if(line STREQUAL "")
    # A paragraph ends; the one after the synopsis describes the program, and so does every loose one.
    if(NOT paragraph STREQUAL "")
      string(APPEND description ".PP\n${paragraph}")
      set(paragraph "")
    endif()
    if(NOT (part STREQUAL "synopsis" AND synopsis STREQUAL ""))
      set(part loose)
    endif()
  elseif(part STREQUAL "synopsis")
    string(REGEX REPLACE "^(usage:)? *tessaloom\\\\-render *" "" text "${text}")
    string(APPEND synopsis ".B tessaloom\\-render\n${text}\n.br\n")
  elseif(part STREQUAL "loose" AND line STREQUAL "Examples")
    set(part examples)
  elseif(part STREQUAL "loose" AND line MATCHES "^Exit status: (.*)$")
    set(part exit)
    roff("${CMAKE_MATCH_1}" text)
    string(APPEND exit_status "${text}\n")
  elseif(part STREQUAL "loose" AND line MATCHES "^[A-Z][^ ]*( \\(.*\\))?$")
    # A heading: the options that follow belong to it.
    set(part options)
    string(APPEND options ".SS ${text}\n")
  elseif(part STREQUAL "loose" OR part STREQUAL "description")
    set(part description)
    string(APPEND paragraph "${text}\n")
  elseif(part STREQUAL "exit")
    string(APPEND exit_status "${text}\n")
  elseif(part STREQUAL "options")
    string(LENGTH "${line}" length)
    if(line MATCHES "^                         (.*)$")
      roff("${CMAKE_MATCH_1}" text)
      string(APPEND options "${text}\n")
    elseif(line MATCHES "^  [^ ]" AND length GREATER 25)
      string(SUBSTRING "${line}" 2 23 field)
      string(STRIP "${field}" field)
      string(SUBSTRING "${line}" 25 -1 rest)
      option_term("${field}" term)
      roff("${rest}" rest)
      string(APPEND options ".TP\n${term}\n${rest}\n")
    else()
      message(FATAL_ERROR "${USAGE}: an option line not laid out in columns: ${line}")
    endif()
  endif()
endforeach()
if(options STREQUAL "" OR synopsis STREQUAL "")
  message(FATAL_ERROR "${USAGE}: no usage text between R\"usage( and )usage\"")
endif()

# The examples: the first sh block of the render section (docs/RENDERING.md), "$r" standing for the program.
read_lines("${README}" lines)
set(examples "")
set(state before)
foreach(line IN LISTS lines)
  if(state STREQUAL "before" AND line MATCHES "^##? Rendering audio")
    set(state section)
  elseif(state STREQUAL "section" AND line STREQUAL "```sh")
    set(state block)
  elseif(state STREQUAL "block" AND line STREQUAL "```")
    break()
  elseif(state STREQUAL "block" AND NOT line MATCHES "^r=")
    string(REPLACE "$r" "tessaloom-render" line "${line}")
    string(REGEX REPLACE " +#" "  #" line "${line}")
    roff("${line}" text)
    string(APPEND examples "${text}\n")
  endif()
endforeach()
if(examples STREQUAL "")
  message(FATAL_ERROR "${README}: no sh block of examples under a heading \"Rendering audio\"")
endif()

set(page ".TH TESSALOOM\\-RENDER 1 \"\" \"tessaloom ${VERSION}\" \"User Commands\"
.SH NAME
tessaloom\\-render \\- render audio files through the Tessaloom plug-in
.SH SYNOPSIS
${synopsis}.SH DESCRIPTION
${description}.SH OPTIONS
${options}.SH EXIT STATUS
${exit_status}.SH ENVIRONMENT
.TP
.B TESSALOOM_PLUGIN
the plug-in library to load when \\fB\\-\\-plugin\\fR is not given
.TP
.B VST_PATH
folders, separated by colons, searched for Tessaloom.so after the program's own ../lib/vst and the build's
.SH EXAMPLES
.nf
${examples}.fi
.SH SEE ALSO
.BR sox (1),
.BR flac (1),
/usr/share/doc/tessaloom/README.md
")
string(REPLACE "<semicolon>" ";" page "${page}")
string(REPLACE "<open>" "[" page "${page}")
string(REPLACE "<close>" "]" page "${page}")
file(WRITE "${OUTPUT}" "${page}")
