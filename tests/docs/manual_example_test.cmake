# The manual page's example: its command, run with the dep in DEP's folder
# first on PATH, prints the output the page shows (the page shows no blank at
# the end of a line).
#   cmake -DMANUAL_PAGE=terminal/dep.1 -DDEP=... -P manual_example_test.cmake
include(${CMAKE_CURRENT_LIST_DIR}/documents.cmake)

# The text between the first `from` in `text` and the next `to` (or the end);
# `text` becomes what follows.
macro(take_between variable text from to)
  string(FIND "${${text}}" "${from}" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "${MANUAL_PAGE}: no \"${from}\" in its EXEMPLE section")
  endif()
  string(LENGTH "${from}" length)
  math(EXPR start "${start} + ${length}")
  string(SUBSTRING "${${text}}" ${start} -1 ${text})
  string(FIND "${${text}}" "${to}" end)
  if(end EQUAL -1)
    string(LENGTH "${${text}}" end)
  endif()
  string(SUBSTRING "${${text}}" 0 ${end} ${variable})
  string(SUBSTRING "${${text}}" ${end} -1 ${text})
endmacro()

# The example blocks as the page reads: roff's escapes for a quote, a
# backslash and an empty line undone.
function(as_read variable block)
  string(REPLACE "\\(aq" "'" block "${block}")
  string(REPLACE "\\e" "\\" block "${block}")
  string(REGEX REPLACE "(^|\n)\\\\&(\n|$)" "\\1\\2" block "${block}")
  set(${variable} "${block}" PARENT_SCOPE)
endfunction()

file(READ ${MANUAL_PAGE} page)
take_between(section page "\n.SH EXEMPLE\n" "\n.SH ")
take_between(command section "\n.EX\n" "\n.EE")
take_between(expected section "\n.EX\n" "\n.EE")
as_read(command "${command}")
as_read(expected "${expected}")
if(NOT command MATCHES "^\\$ (.+ \\| dep)$")
  message(FATAL_ERROR "${MANUAL_PAGE}: the example is not \"$ ... | dep\": ${command}")
endif()
set(command "${CMAKE_MATCH_1}")

get_filename_component(dep_folder ${DEP} DIRECTORY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env "PATH=${dep_folder}:$ENV{PATH}"
  sh -c "${command}" OUTPUT_VARIABLE output)
string(REGEX REPLACE " +(\n|$)" "\\1" output "${output}")
check_folder(folder)
file(WRITE ${folder}/output "${output}")
expect_file("${MANUAL_PAGE} is stale: its example (${command}) does not print what it shows"
  "${MANUAL_PAGE}" "${expected}" "dep" ${folder}/output)
