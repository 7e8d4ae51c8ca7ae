# Writes the web page OUTPUT: web/page.html with the style, the scripts, the
# module's script MODULE_SCRIPT and its WebAssembly code in base64
# MODULE_BASE64, the licence and the VERSION put in place. Run as a script:
# cmake -DSOURCE_DIR=... -DMODULE_SCRIPT=... -DMODULE_BASE64=... -DVERSION=...
# -DOUTPUT=... -P AssemblePage.cmake

file(READ ${SOURCE_DIR}/web/page.css DEP_PAGE_STYLE)
file(READ ${SOURCE_DIR}/web/page_program.js DEP_PROGRAM_SCRIPT)
file(READ ${SOURCE_DIR}/web/page_keys.js DEP_KEYS_SCRIPT)
file(READ ${MODULE_SCRIPT} DEP_MODULE_SCRIPT)
file(READ ${SOURCE_DIR}/web/page.js DEP_PAGE_SCRIPT)
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
file(READ ${SOURCE_DIR}/LICENSE DEP_LICENSE_TEXT)
string(STRIP "${DEP_LICENSE_TEXT}" DEP_LICENSE_TEXT)
string(REPLACE "&" "&amp;" DEP_LICENSE_TEXT "${DEP_LICENSE_TEXT}")
string(REPLACE "<" "&lt;" DEP_LICENSE_TEXT "${DEP_LICENSE_TEXT}")
string(REPLACE ">" "&gt;" DEP_LICENSE_TEXT "${DEP_LICENSE_TEXT}")

string(STRIP "${DEP_PAGE_STYLE}" DEP_PAGE_STYLE)
string(STRIP "${DEP_PROGRAM_SCRIPT}" DEP_PROGRAM_SCRIPT)
string(STRIP "${DEP_KEYS_SCRIPT}" DEP_KEYS_SCRIPT)
string(STRIP "${DEP_MODULE_SCRIPT}" DEP_MODULE_SCRIPT)
string(STRIP "${DEP_PAGE_SCRIPT}" DEP_PAGE_SCRIPT)
set(PROJECT_VERSION ${VERSION})
configure_file(${SOURCE_DIR}/web/page.html ${OUTPUT} @ONLY)
