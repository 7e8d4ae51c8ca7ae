# The web page as users get it: one file, dep-<version>.html, and the app to
# put on a web server, dep-<version>-app.zip.
install(FILES ${DEP_PAGE} DESTINATION . RENAME dep-${PROJECT_VERSION}.html)
install(DIRECTORY ${DEP_APP}/ DESTINATION app)

set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/WebPackageScript.cmake)
set(CPACK_PACKAGE_FILE_NAME dep-${PROJECT_VERSION}-web)
