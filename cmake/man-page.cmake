# Writes the quorvel(1) manual page with help2man, from the built program's own help.
#   cmake -DPROGRAM=... -DHELP2MAN=... -DINCLUDE=quorvel.h2m -DOUTPUT=quorvel.1 [-DLOCALE=fr_FR.UTF-8]
#         -P man-page.cmake
# help2man reads the top-level --help and --version; each command's --help is turned into a
# COMMANDS section first, so that the page lists every option of every command. LOCALE (default C:
# English) is the language of the page: the program's help and help2man's own section names.
# Without that locale on the machine the help stays English: the page is then not written.

function(roff_escape text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

if(NOT LOCALE)
  set(LOCALE C)
endif()
# The program runs in the page's language, whatever the builder's own.
# Its help is not wrapped: the page's paragraphs are.
set(run ${CMAKE_COMMAND} -E env --unset=LANGUAGE --unset=LC_MESSAGES --unset=LANG LC_ALL=${LOCALE} COLUMNS=1000
    ${PROGRAM})
execute_process(COMMAND ${run} --help OUTPUT_VARIABLE top RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help failed (${status})")
endif()
if(NOT LOCALE STREQUAL "C" AND top MATCHES "\nUsage: ")
  message(WARNING "The help is not translated under ${LOCALE} (locale missing? Debian: locales, "
                  "locale-gen): ${OUTPUT} not written")
  file(REMOVE ${OUTPUT})
  return()
endif()
# The commands are the lines of the "Subcommands:" group, up to the blank line that ends it.
string(REGEX MATCH "\n(Subcommands|Commandes):\n[^\n]+(\n[^\n]+)*" group "${top}")
string(REGEX MATCHALL "\n  [a-z][-a-z]*" commands "${group}")

if(LOCALE STREQUAL "C")
  set(roff "[COMMANDS]\n")
else()
  set(roff "[COMMANDES]\n")
endif()
foreach(command IN LISTS commands)
  string(STRIP "${command}" command)
  execute_process(COMMAND ${run} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
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
    if(line MATCHES "^(Usage|Utilisation): [^ ]+ (.*)$")
      roff_escape("${CMAKE_MATCH_2}" usage)
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
    elseif(line STREQUAL "Example:" OR line STREQUAL "Exemple :")
      set(example ON)
      string(APPEND roff ".PP\n${line}\n")
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

execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LANGUAGE COLUMNS=1000
                        ${HELP2MAN} --locale=${LOCALE} --no-info --include ${directory}/commands.h2m
                        --include ${INCLUDE} --output ${OUTPUT} ${PROGRAM}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "help2man failed (${status})")
endif()
