# Writes the web page OUTPUT: web/page.html with the style, the scripts, the
# module's script MODULE_SCRIPT and its WebAssembly code in base64
# MODULE_BASE64, the licence and the VERSION put in place. Run as a script:
# cmake -DSOURCE_DIR=... -DMODULE_SCRIPT=... -DMODULE_BASE64=... -DVERSION=...
# -DOUTPUT=... -P AssemblePage.cmake

# Reads `file` into `variable`, without blanks at its start and end.
function(read_stripped variable file)
  file(READ ${file} text)
  string(STRIP "${text}" text)
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()

read_stripped(DEP_PAGE_STYLE ${SOURCE_DIR}/web/page.css)
read_stripped(DEP_PROGRAM_SCRIPT ${SOURCE_DIR}/web/page_program.js)
read_stripped(DEP_KEYS_SCRIPT ${SOURCE_DIR}/web/page_keys.js)
read_stripped(DEP_MODULE_SCRIPT ${MODULE_SCRIPT})
read_stripped(DEP_PAGE_SCRIPT ${SOURCE_DIR}/web/page.js)
file(READ ${MODULE_BASE64} DEP_MODULE_BASE64)
if(NOT DEP_MODULE_BASE64 MATCHES "^[A-Za-z0-9+/]+=*$")
  message(FATAL_ERROR "${MODULE_BASE64} is not base64")
endif()

# Inside a script element, these would end the script or change how the
# browser reads it.
foreach(script DEP_PROGRAM_SCRIPT DEP_KEYS_SCRIPT DEP_MODULE_SCRIPT DEP_PAGE_SCRIPT)
  string(TOLOWER "${${script}}" lower)
  foreach(sequence "</script" "<!--" "<script")
    string(FIND "${lower}" "${sequence}" found)
    if(NOT found EQUAL -1)
      message(FATAL_ERROR "${script} holds \"${sequence}\": it cannot be inlined")
    endif()
  endforeach()
endforeach()
string(FIND "${DEP_PAGE_STYLE}" "</" found)
if(NOT found EQUAL -1)
  message(FATAL_ERROR "the style holds \"</\": it cannot be inlined")
endif()

# The licence, as text in the page.
read_stripped(DEP_LICENSE_TEXT ${SOURCE_DIR}/LICENSE)
string(REPLACE "&" "&amp;" DEP_LICENSE_TEXT "${DEP_LICENSE_TEXT}")
string(REPLACE "<" "&lt;" DEP_LICENSE_TEXT "${DEP_LICENSE_TEXT}")
string(REPLACE ">" "&gt;" DEP_LICENSE_TEXT "${DEP_LICENSE_TEXT}")

set(PROJECT_VERSION ${VERSION})
configure_file(${SOURCE_DIR}/web/page.html ${OUTPUT} @ONLY)
