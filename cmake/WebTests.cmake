# The page's own tests: its key rule under Node, and the page itself in
# Chromium and in WebKit (Safari's engine), both driven by Selenium.
add_test(NAME page_keys COMMAND ${DEP_NODE} ${PROJECT_SOURCE_DIR}/web/page_keys_test.js)

# Debian's Selenium is for Debian's own Python.
set(DEP_SYSTEM_PYTHON /usr/bin/python3 CACHE FILEPATH "The Python that has Selenium")
find_program(DEP_CHROMEDRIVER chromedriver)
find_program(DEP_WEBKIT_DRIVER WebKitWebDriver)
find_program(DEP_XVFB_RUN xvfb-run)
execute_process(COMMAND ${DEP_SYSTEM_PYTHON} -c "import selenium"
  RESULT_VARIABLE DEP_NO_SELENIUM OUTPUT_QUIET ERROR_QUIET)
if(DEP_NO_SELENIUM OR NOT DEP_CHROMEDRIVER OR NOT DEP_WEBKIT_DRIVER OR NOT DEP_XVFB_RUN)
  message(FATAL_ERROR "The page is tested in real browsers: install Debian's chromium, "
    "chromium-driver, webkit2gtk-driver, xvfb and python3-selenium.")
endif()
set(DEP_PAGE_TEST ${PROJECT_SOURCE_DIR}/web/page_test.py)
add_test(NAME page_in_chromium
  COMMAND ${DEP_SYSTEM_PYTHON} ${DEP_PAGE_TEST} chromium ${DEP_PAGE} ${PROJECT_BINARY_DIR})
add_test(NAME page_in_webkit
  COMMAND ${DEP_XVFB_RUN} -a ${DEP_SYSTEM_PYTHON} ${DEP_PAGE_TEST} webkit ${DEP_PAGE}
    ${PROJECT_BINARY_DIR})
# The tests read the README's consultation with the document checks' helper.
set_tests_properties(page_in_chromium page_in_webkit PROPERTIES ENVIRONMENT CMAKE=${CMAKE_COMMAND})
