# Installation, and a Debian package of it, made the way Debian's own tools
# make one: compressed manual page and changelog without time stamps, a
# machine-readable copyright file, the binary stripped as dh_strip strips it,
# and every time stamp in the package taken from the changelog's top entry,
# so that two builds of one commit give the same bytes.
include(GNUInstallDirs)
set(DEP_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/dep)

install(TARGETS dep RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# dh_strip also drops the compiler's notes.
install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
  --remove-section=.note \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/dep\"
  COMMAND_ERROR_IS_FATAL ANY)")

# Manual page, changelog: gzip -9n, as Debian ships them.
configure_file(terminal/dep.1 dep.1 @ONLY)
set(DEP_MANUAL_PAGE ${PROJECT_BINARY_DIR}/dep.1.gz)
set(DEP_CHANGELOG ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${DEP_MANUAL_PAGE}
  COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/dep.1 > ${DEP_MANUAL_PAGE}
  DEPENDS ${PROJECT_BINARY_DIR}/dep.1
  COMMENT "Compressing the manual page")
add_custom_command(OUTPUT ${DEP_CHANGELOG}
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${DEP_CHANGELOG}
  DEPENDS packaging/changelog
  COMMENT "Compressing the changelog")
add_custom_target(dep_documentation ALL DEPENDS ${DEP_MANUAL_PAGE} ${DEP_CHANGELOG})
install(FILES ${DEP_MANUAL_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${DEP_CHANGELOG} DESTINATION ${DEP_DOC_DIR})

# The copyright file carries the licence's own text from LICENSE, as DEP-5
# wants it: each line indented by one blank, a lone dot between paragraphs.
file(READ LICENSE DEP_LICENSE)
string(FIND "${DEP_LICENSE}" "Permission is hereby granted" DEP_GRANT_START)
string(SUBSTRING "${DEP_LICENSE}" ${DEP_GRANT_START} -1 DEP_GRANT)
string(STRIP "${DEP_GRANT}" DEP_GRANT)
string(REPLACE "\n\n" "\n.\n" DEP_GRANT "${DEP_GRANT}")
string(REPLACE "\n" "\n " DEP_LICENSE_PARAGRAPHS " ${DEP_GRANT}")
configure_file(packaging/copyright.in copyright @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${DEP_DOC_DIR})

install(FILES packaging/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME dep)

include(cmake/PackageTimeStamp.cmake)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS LICENSE)

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
