# Writes the web page OUTPUT: web/page.html with the style, the scripts, the
# module's script MODULE_SCRIPT and its WebAssembly code in base64
# MODULE_BASE64, the licence and the VERSION put in place, and a
# Content-Security-Policy that allows its own inline scripts and style by
# their hashes and nothing else. With APP set, the page is the web app's
# index.html: it links the app's icons and manifest and registers its service
# worker (web/page_app.html), says whether the app works offline, and the
# files that tell a web server how to serve the app are written beside it
# (web/server/), with the page's policy as a header. Run as a script:
# cmake -DSOURCE_DIR=... -DMODULE_SCRIPT=... -DMODULE_BASE64=... -DVERSION=...
# [-DAPP=ON] -DOUTPUT=... -P AssemblePage.cmake

# Reads `file` into `variable`, without blanks at its start and end.
function(read_stripped variable file)
  file(READ ${file} text)
  string(STRIP "${text}" text)
  set(${variable} "${text}" PARENT_SCOPE)
endfunction()

# The base64 of the SHA-256 of `text`, as a policy names an inline script.
function(sha256_base64 text variable)
  string(SHA256 hex "${text}")
  set(digits "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
  set(base64 "")
  # Three bytes (six hex digits) make four digits; the last two bytes make
  # three digits and "=".
  foreach(start RANGE 0 60 6)
    string(SUBSTRING "${hex}" ${start} 6 group)
    if(start EQUAL 60)
      math(EXPR value "0x${group} << 2")
      set(shifts 12 6 0)
    else()
      math(EXPR value "0x${group}")
      set(shifts 18 12 6 0)
    endif()
    foreach(shift IN LISTS shifts)
      math(EXPR digit "(${value} >> ${shift}) & 63")
      string(SUBSTRING "${digits}" ${digit} 1 character)
      string(APPEND base64 "${character}")
    endforeach()
  endforeach()
  set(${variable} "${base64}=" PARENT_SCOPE)
endfunction()

# The policy's sources for the text of every `tag` element of `html` that
# has no attribute: 'sha256-...' each.
function(inline_sources html tag variable)
  set(sources "")
  set(rest "${html}")
  string(LENGTH "<${tag}>" length)
  string(FIND "${rest}" "<${tag}>" start)
  while(NOT start EQUAL -1)
    math(EXPR start "${start} + ${length}")
    string(SUBSTRING "${rest}" ${start} -1 rest)
    string(FIND "${rest}" "</${tag}>" end)
    string(SUBSTRING "${rest}" 0 ${end} text)
    sha256_base64("${text}" hash)
    string(APPEND sources " 'sha256-${hash}'")
    string(SUBSTRING "${rest}" ${end} -1 rest)
    string(FIND "${rest}" "<${tag}>" start)
  endwhile()
  string(STRIP "${sources}" sources)
  set(${variable} "${sources}" PARENT_SCOPE)
endfunction()

read_stripped(DEP_PAGE_STYLE ${SOURCE_DIR}/web/page.css)
read_stripped(DEP_PROGRAM_SCRIPT ${SOURCE_DIR}/web/page_program.js)
read_stripped(DEP_KEYS_SCRIPT ${SOURCE_DIR}/web/page_keys.js)
read_stripped(DEP_MODULE_SCRIPT ${MODULE_SCRIPT})
read_stripped(DEP_PAGE_SCRIPT ${SOURCE_DIR}/web/page.js)
set(scripts DEP_PROGRAM_SCRIPT DEP_KEYS_SCRIPT DEP_MODULE_SCRIPT DEP_PAGE_SCRIPT)
file(READ ${MODULE_BASE64} DEP_MODULE_BASE64)
if(NOT DEP_MODULE_BASE64 MATCHES "^[A-Za-z0-9+/]+=*$")
  message(FATAL_ERROR "${MODULE_BASE64} is not base64")
endif()

# The app's links, worker and line, and the requests they make: the worker
# fetches the app's files under the same policy, sent as a header.
set(DEP_APP_HEAD "")
set(DEP_APP_STATUS "")
set(app_sources "")
if(APP)
  read_stripped(DEP_APP_SCRIPT ${SOURCE_DIR}/web/page_app.js)
  list(APPEND scripts DEP_APP_SCRIPT)
  file(READ ${SOURCE_DIR}/web/page_app.html DEP_APP_HEAD)
  string(CONFIGURE "${DEP_APP_HEAD}" DEP_APP_HEAD @ONLY)
  string(STRIP "${DEP_APP_HEAD}" DEP_APP_HEAD)
  set(DEP_APP_STATUS "<p id=\"offline\" role=\"status\"></p>")
  set(app_sources "; connect-src 'self'; worker-src 'self'; manifest-src 'self'; img-src 'self'")
endif()

# Inside a script element, these would end the script or change how the
# browser reads it.
foreach(script IN LISTS scripts)
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

# The page, then its policy from what it holds.
set(PROJECT_VERSION ${VERSION})
set(DEP_PAGE_POLICY "@DEP_PAGE_POLICY@")
file(READ ${SOURCE_DIR}/web/page.html page)
string(CONFIGURE "${page}" page @ONLY)
inline_sources("${page}" script script_sources)
inline_sources("${page}" style style_sources)
set(policy "default-src 'none'; script-src ${script_sources} 'wasm-unsafe-eval'")
string(APPEND policy "; style-src ${style_sources}${app_sources}; base-uri 'none'; form-action 'none'")
string(REPLACE "@DEP_PAGE_POLICY@" "${policy}" page "${page}")
file(WRITE ${OUTPUT} "${page}")

# A page cannot forbid other sites to frame it: the server says so.
if(APP)
  set(DEP_HEADER_POLICY "${policy}; frame-ancestors 'none'")
  get_filename_component(folder ${OUTPUT} DIRECTORY)
  foreach(name web.config htaccess nginx.conf)
    string(REGEX REPLACE "^htaccess$" ".htaccess" served ${name})
    configure_file(${SOURCE_DIR}/web/server/${name} ${folder}/${served} @ONLY)
  endforeach()
endif()
