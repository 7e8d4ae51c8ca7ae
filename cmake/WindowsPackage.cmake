# The Windows ZIP: dep.exe, a French read-me and the licence, side by side at
# the top of the archive, the texts with Windows line ends.
install(TARGETS dep RUNTIME DESTINATION .)
configure_file(windows/LISEZMOI.txt LISEZMOI.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/LISEZMOI.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)

set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/ZipPackage.cmake)
set(CPACK_PACKAGE_FILE_NAME dep-${PROJECT_VERSION}-win64)
