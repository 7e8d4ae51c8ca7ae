# Installation, and a Debian package of it. Debian keeps manual pages
# compressed, without time stamps in the archive.
include(GNUInstallDirs)
install(TARGETS dep RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(DEP_MANUAL_PAGE ${PROJECT_BINARY_DIR}/dep.1.gz)
add_custom_command(OUTPUT ${DEP_MANUAL_PAGE}
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/consultation/dep.1 > ${DEP_MANUAL_PAGE}
  DEPENDS consultation/dep.1
  COMMENT "Compressing the manual page")
add_custom_target(dep_manual_page ALL DEPENDS ${DEP_MANUAL_PAGE})
install(FILES ${DEP_MANUAL_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "theoretical peak expiratory flow and measured result as a percentage")
set(CPACK_PACKAGE_DESCRIPTION
  "dep is a console program (in French) for the peak-flow test. It asks whether
the patient is a man, a woman or a child, an adult's age and the height,
places the patient on built-in reference tables, shows the theoretical peak
expiratory flow (DEP) in L/min, and reports the measured value as a
percentage of it.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "dep developers <dep-developers@lists.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
