# The page's own tests: its key rule under Node, and the page and the app in
# Chromium, Firefox and WebKit (Safari's engine), driven by the tools that
# web/package.json names (npm ci --prefix web installs them).
add_test(NAME page_keys COMMAND ${DEP_NODE} ${PROJECT_SOURCE_DIR}/web/page_keys_test.js)
add_test(NAME page_app_status COMMAND ${DEP_NODE} ${PROJECT_SOURCE_DIR}/web/page_app_test.js)

if(NOT EXISTS ${PROJECT_SOURCE_DIR}/web/node_modules/.package-lock.json)
  message(FATAL_ERROR "The page's tests drive browsers with npm's packages: run npm ci --prefix web.")
endif()
find_program(DEP_CHROMIUM chromium)
find_program(DEP_FIREFOX firefox-esr)
find_program(DEP_WEBKIT_DRIVER WebKitWebDriver)
find_program(DEP_XVFB_RUN xvfb-run)
if(NOT DEP_CHROMIUM OR NOT DEP_FIREFOX OR NOT DEP_WEBKIT_DRIVER OR NOT DEP_XVFB_RUN)
  message(FATAL_ERROR "The page is tested in real browsers: install Debian's chromium, "
    "firefox-esr, webkit2gtk-driver and xvfb.")
endif()
foreach(engine chromium firefox webkit)
  set(display "")
  if(engine STREQUAL "webkit")
    set(display ${DEP_XVFB_RUN} -a) # WebKit's MiniBrowser needs an X display
  endif()
  add_test(NAME page_in_${engine}
    COMMAND ${display} ${DEP_NODE} ${PROJECT_SOURCE_DIR}/web/page_test.mjs ${engine} ${DEP_PAGE}
      ${DEP_APP} ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
  # The README's consultation is read with the document checks' helper.
  set_tests_properties(page_in_${engine} PROPERTIES
    ENVIRONMENT CMAKE=${CMAKE_COMMAND} TIMEOUT 300)
endforeach()
