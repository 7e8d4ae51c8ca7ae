# Prints the README's fenced block that follows the line "<!-- MARKER -->",
# without its fences and its last line end, for the tests that run the
# README's examples and compare what they print:
#   cmake -DMARKER=piped-output -P tests/docs/readme_block.cmake
file(READ ${CMAKE_CURRENT_LIST_DIR}/../../README.md readme)
set(opening "<!-- ${MARKER} -->\n```")
string(FIND "${readme}" "${opening}" start)
if(start EQUAL -1)
  message(FATAL_ERROR "README.md has no fenced block after <!-- ${MARKER} -->")
endif()
string(LENGTH "${opening}" length)
math(EXPR start "${start} + ${length}")
string(SUBSTRING "${readme}" ${start} -1 rest)
# The rest of the opening fence's line (its language), then the block.
string(FIND "${rest}" "\n" line_end)
math(EXPR line_end "${line_end} + 1")
string(SUBSTRING "${rest}" ${line_end} -1 rest)
string(FIND "${rest}" "\n```" end)
if(end EQUAL -1)
  message(FATAL_ERROR "README.md: the block after <!-- ${MARKER} --> is not closed")
endif()
string(SUBSTRING "${rest}" 0 ${end} block)
execute_process(COMMAND ${CMAKE_COMMAND} -E echo_append "${block}")
