# The accessibility audit's grid holds each criterion of RGAA 4.1.2 once, in
# order, with a status (C met, NC not met, NA not applicable, NT not tested)
# and a reason; the statement's conformity, rate and counts are computed
# from it when the app is built.
#   cmake -DGRID=web/accessibilite.csv -P accessibility_test.cmake

# RGAA 4.1.2's criteria: how many each of its 13 themes has.
set(expected "")
set(theme 0)
foreach(count 9 2 3 13 8 2 5 10 4 14 13 11 12)
  math(EXPR theme "${theme} + 1")
  foreach(criterion RANGE 1 ${count})
    list(APPEND expected ${theme}.${criterion})
  endforeach()
endforeach()

# One list item per line: the reasons' semicolons and brackets would split
# or join CMake's list items, and matter here only as text.
file(READ ${GRID} grid)
string(REGEX REPLACE "[][;]" "," grid "${grid}")
string(REGEX REPLACE "\n$" "" grid "${grid}")
string(REPLACE "\n" ";" lines "${grid}")
list(POP_FRONT lines header)
if(NOT header STREQUAL "critere,statut,raison")
  message(FATAL_ERROR "${GRID}: the first line is not critere,statut,raison: ${header}")
endif()
set(numbers "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^([0-9]+\\.[0-9]+),(C|NC|NA|NT),\"([^\"]+)\"$")
    message(FATAL_ERROR "${GRID}: not a criterion, a status C, NC, NA or NT, and a quoted reason: ${line}")
  endif()
  list(APPEND numbers ${CMAKE_MATCH_1})
endforeach()
if(NOT numbers STREQUAL expected)
  foreach(number IN LISTS expected)
    list(FIND numbers ${number} at)
    if(at EQUAL -1)
      message(SEND_ERROR "${GRID}: criterion ${number} is missing")
    endif()
  endforeach()
  message(FATAL_ERROR "${GRID}: the criteria are not each of RGAA 4.1.2's once, in order: ${numbers}")
endif()
