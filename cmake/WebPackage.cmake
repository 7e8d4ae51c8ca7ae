# The web page as users get it: one file, dep-<version>.html, and the app to
# put on a web server, dep-<version>-app.zip.
install(FILES ${DEP_PAGE} DESTINATION . RENAME dep-${PROJECT_VERSION}.html)
install(DIRECTORY ${DEP_APP}/ DESTINATION app)

include(cmake/PackageTimeStamp.cmake)
find_program(DEP_ZIP zip)
if(NOT DEP_ZIP)
  message(FATAL_ERROR "The web app is packed with Info-ZIP: install Debian's zip.")
endif()
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/WebPackageScript.cmake)
set(CPACK_PACKAGE_FILE_NAME dep-${PROJECT_VERSION}-web)
