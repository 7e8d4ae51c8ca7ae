# What the checks of the project's documents share. Included, it defines
# readme_block(), check_folder() and expect_file(); run as a script, it prints one block of
# the README:
#   cmake -DMARKER=piped-output -P tests/docs/documents.cmake

set(DEP_README ${CMAKE_CURRENT_LIST_DIR}/../../README.md)

# Sets `variable` to the fenced block that follows the line
# "<!-- marker -->" in the README, without its fences and its last line end.
function(readme_block marker variable)
  file(READ ${DEP_README} readme)
  set(opening "<!-- ${marker} -->\n```")
  string(FIND "${readme}" "${opening}" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "README.md has no fenced block after <!-- ${marker} -->")
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
    message(FATAL_ERROR "README.md: the block after <!-- ${marker} --> is not closed")
  endif()
  string(SUBSTRING "${rest}" 0 ${end} block)
  set(${variable} "${block}" PARENT_SCOPE)
endfunction()

# A new folder for a check's files, as `variable`.
function(check_folder variable)
  set(temporary /tmp)
  if(DEFINED ENV{TMPDIR})
    set(temporary $ENV{TMPDIR})
  endif()
  string(RANDOM LENGTH 12 name)
  set(folder ${temporary}/dep-check-${name})
  file(MAKE_DIRECTORY ${folder})
  set(${variable} ${folder} PARENT_SCOPE)
endfunction()

# Fails with `message` unless the file `actual`, written by `program`, holds
# `expected` byte for byte, as `source` gives it; shows how they differ.
# Removes the file's folder.
function(expect_file message source expected program actual)
  get_filename_component(folder ${actual} DIRECTORY)
  file(WRITE ${folder}/expected "${expected}")
  execute_process(COMMAND diff -u --label ${source} --label ${program} ${folder}/expected ${actual}
    RESULT_VARIABLE different)
  file(REMOVE_RECURSE ${folder})
  if(different)
    message(FATAL_ERROR "${message}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  readme_block("${MARKER}" block)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo_append "${block}")
endif()
