# Writes the quorvel(1) manual page with help2man, from the built program's own help.
#   cmake -DPROGRAM=... -DHELP2MAN=... -DINCLUDE=quorvel.h2m -DOUTPUT=quorvel.1 -P man-page.cmake
# help2man reads the top-level --help and --version; each command's --help is turned into a
# COMMANDS section first, so that the page lists every option of every command.

function(roff_escape text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE top RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed (${status})")
endif()
# The commands are the lines of the "Subcommands:" group, up to the blank line that ends it.
string(REGEX MATCH "\nSubcommands:\n[^\n]+(\n[^\n]+)*" group "${top}")
string(REGEX MATCHALL "\n  [a-z][-a-z]*" commands "${group}")

set(roff "[COMMANDS]\n")
foreach(command IN LISTS commands)
  string(STRIP "${command}" command)
  execute_process(COMMAND ${PROGRAM} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${command} --help failed (${status})")
  endif()
  roff_escape("${command}" name)
  string(APPEND roff ".SS ${name}\n")
  # One list element per line (the help's brackets all close on their own line).
  string(REPLACE ";" "\\;" help "${help}")
  string(REPLACE "\n" ";" lines "${help}")
  set(example OFF)
  foreach(line IN LISTS lines)
    if(line MATCHES "^Usage: [^ ]+ (.*)$")
      roff_escape("${CMAKE_MATCH_1}" usage)
      string(APPEND roff ".PP\n\\fBquorvel\\fR ${usage}\n")
    elseif(line MATCHES "^(Options|Positionals):$" OR line MATCHES "^  -h,--help ")
    elseif(line STREQUAL "")
      set(example OFF)
      string(APPEND roff ".PP\n")
    elseif(line MATCHES "^  ([^ ]+( [^ ]+)*)   *(.*)$")
      # An option or positional: its name and value in bold, its description below.
      roff_escape("${CMAKE_MATCH_1}" term)
      roff_escape("${CMAKE_MATCH_3}" text)
      string(REGEX REPLACE "^([^ ]+)" "\\\\fB\\1\\\\fR" term "${term}")
      string(APPEND roff ".TP\n${term}\n${text}\n")
    elseif(line STREQUAL "Example:")
      set(example ON)
      string(APPEND roff ".PP\nExample:\n")
    elseif(example AND line MATCHES "^  (.*)$")
      roff_escape("${CMAKE_MATCH_1}" text)
      string(APPEND roff ".IP\n.nf\n${text}\n.fi\n.PP\n")
    else()
      roff_escape("${line}" text)
      string(APPEND roff "${text}\n")
    endif()
  endforeach()
endforeach()
string(REGEX REPLACE "(\\.PP\n)+(\\.[PT]P\n)" "\\2" roff "${roff}") # no empty paragraphs
get_filename_component(directory ${OUTPUT} DIRECTORY)
file(WRITE ${directory}/commands.h2m "${roff}")

execute_process(COMMAND ${HELP2MAN} --no-info --include ${directory}/commands.h2m --include ${INCLUDE}
                        --output ${OUTPUT} ${PROGRAM}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "help2man failed (${status})")
endif()
