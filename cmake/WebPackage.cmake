# The web page as users get it: one file, dep-<version>.html.
set(DEP_PAGE_NAME dep-${PROJECT_VERSION}.html)
install(FILES ${DEP_PAGE} DESTINATION . RENAME ${DEP_PAGE_NAME})

# CPack stages the installation; the package is the staged page itself.
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_BINARY_DIR}/WebPackageScript.cmake)
file(WRITE ${CPACK_EXTERNAL_PACKAGE_SCRIPT}
  "set(CPACK_EXTERNAL_BUILT_PACKAGES \"\${CPACK_TEMPORARY_DIRECTORY}/${DEP_PAGE_NAME}\")\n")
set(CPACK_PACKAGE_FILE_NAME dep-${PROJECT_VERSION}-web)
