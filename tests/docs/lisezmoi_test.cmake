# The Windows read-me as Notepad needs it: UTF-8 with a byte-order mark,
# every line ended by CR LF, and its accents.
#   cmake -DREADME=.../LISEZMOI.txt -P lisezmoi_test.cmake
file(READ ${README} head LIMIT 3 HEX)
if(NOT head STREQUAL "efbbbf")
  message(FATAL_ERROR "${README} does not start with UTF-8's byte-order mark (it starts ${head})")
endif()
execute_process(COMMAND iconv -f UTF-8 -t UTF-8 ${README}
  OUTPUT_QUIET ERROR_VARIABLE invalid RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${README} is not UTF-8: ${invalid}")
endif()
# Byte by byte, as CMake reads text without its CRs.
file(READ ${README} bytes HEX)
string(REGEX REPLACE "(..)" "\\1 " bytes "${bytes}")
string(REGEX MATCHALL "0a " line_ends "${bytes}")
string(REGEX MATCHALL "0d 0a " windows_line_ends "${bytes}")
list(LENGTH line_ends lines)
list(LENGTH windows_line_ends windows_lines)
if(NOT lines EQUAL windows_lines OR NOT bytes MATCHES "0d 0a $")
  message(FATAL_ERROR "${README}: ${windows_lines} of its ${lines} lines end in CR LF, "
    "and every line must, the last included")
endif()
file(READ ${README} text)
if(NOT text MATCHES "référence")
  message(FATAL_ERROR "${README} lost its accents: no \"référence\" in it")
endif()
