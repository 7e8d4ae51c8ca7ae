# Writes the release notes OUTPUT, CHANGEMENTS.txt as Windows users read it
# (UTF-8 with a byte-order mark, CR LF line ends), from the Debian
# changelog CHANGELOG, the one source of the notes: each version with its
# date in French, then its changes. Run as a script:
#   cmake -DCHANGELOG=debian/changelog -DOUTPUT=... -P write_release_notes.cmake

set(months janvier février mars avril mai juin juillet août septembre octobre novembre décembre)
set(english_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)

# Line by line, without lists: a change may hold a semicolon.
file(READ ${CHANGELOG} changelog)
set(DEP_CHANGES "")
set(changes "")
set(version "")
while(NOT changelog STREQUAL "")
  string(FIND "${changelog}" "\n" end)
  if(end EQUAL -1)
    string(LENGTH "${changelog}" end)
  endif()
  string(SUBSTRING "${changelog}" 0 ${end} line)
  math(EXPR end "${end} + 1")
  string(SUBSTRING "${changelog}" ${end} -1 changelog)
  if(line MATCHES "^[a-z0-9][a-z0-9.+-]* \\(([^)]+)\\) ")
    set(version ${CMAKE_MATCH_1})
  elseif(line MATCHES "^ -- .*  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9]+) " AND version)
    math(EXPR day "${CMAKE_MATCH_1}")
    if(day EQUAL 1)
      set(day 1er)
    endif()
    list(FIND english_months ${CMAKE_MATCH_2} month)
    list(GET months ${month} month)
    string(APPEND DEP_CHANGES "Version ${version} du ${day} ${month} ${CMAKE_MATCH_3}\n${changes}\n")
    set(changes "")
    set(version "")
  elseif(line MATCHES "^  (.+)$" AND version)
    string(APPEND changes "${CMAKE_MATCH_1}\n")
  elseif(NOT line STREQUAL "")
    message(FATAL_ERROR "${CHANGELOG}: not a line of a Debian changelog: ${line}")
  endif()
endwhile()
if(DEP_CHANGES STREQUAL "" OR version)
  message(FATAL_ERROR "${CHANGELOG}: no complete entry")
endif()
string(STRIP "${DEP_CHANGES}" DEP_CHANGES)
# configure_file ends the template's lines with CR LF, not those of a value.
string(REPLACE "\n" "\r\n" DEP_CHANGES "${DEP_CHANGES}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/../../windows/CHANGEMENTS.txt ${OUTPUT} @ONLY NEWLINE_STYLE CRLF)
