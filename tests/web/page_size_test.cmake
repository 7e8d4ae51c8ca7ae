# The web page stays within its weight: at most LIMIT bytes.
#   cmake -DPAGE=... -DLIMIT=... -P page_size_test.cmake
file(SIZE ${PAGE} size)
message(STATUS "${PAGE}: ${size} bytes, at most ${LIMIT}")
if(size GREATER LIMIT)
  message(FATAL_ERROR "${PAGE} weighs ${size} bytes, over its limit of ${LIMIT}")
endif()
