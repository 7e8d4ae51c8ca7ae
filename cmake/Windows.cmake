# dep for Windows as it ships, in shipped/: dep.exe stripped, a French
# read-me, the release notes, the licence and the notices of the
# third-party code dep.exe holds, the texts with Windows line ends. The ZIP holds them side by side
# at its top; the installer, dep-<version>-x64.msi, puts them in
# C:\Program Files\dep\ (windows/dep.wxs).

# dep.exe's icon, the app's drawn at each size Windows shows (the largest
# kept as PNG), and its version resource (windows/dep.rc).
find_program(DEP_RSVG_CONVERT rsvg-convert)
find_program(DEP_ICOTOOL icotool)
if(NOT DEP_RSVG_CONVERT OR NOT DEP_ICOTOOL)
  message(FATAL_ERROR "dep.exe's icon is drawn by rsvg-convert and icotool: "
    "install Debian's librsvg2-bin and icoutils.")
endif()
set(DEP_ICON ${PROJECT_BINARY_DIR}/icon/dep.ico)
set(icon_images "")
foreach(size 16 20 24 32 40 48 64 256)
  set(image ${PROJECT_BINARY_DIR}/icon/${size}.png)
  add_custom_command(OUTPUT ${image}
    COMMAND ${DEP_RSVG_CONVERT} --width ${size} --height ${size} --output ${image}
      ${PROJECT_SOURCE_DIR}/web/icon.svg
    DEPENDS web/icon.svg
    VERBATIM)
  list(APPEND icon_images ${image})
endforeach()
list(POP_BACK icon_images largest)
add_custom_command(OUTPUT ${DEP_ICON}
  COMMAND ${DEP_ICOTOOL} --create --output=${DEP_ICON} ${icon_images} --raw=${largest}
  DEPENDS ${icon_images} ${largest}
  COMMENT "Drawing dep.exe's icon"
  VERBATIM)
enable_language(RC)
configure_file(windows/dep.rc ${PROJECT_BINARY_DIR}/dep.rc @ONLY)
target_sources(dep PRIVATE ${PROJECT_BINARY_DIR}/dep.rc)
set_source_files_properties(${PROJECT_BINARY_DIR}/dep.rc PROPERTIES OBJECT_DEPENDS ${DEP_ICON})

set(DEP_SHIPPED ${PROJECT_BINARY_DIR}/shipped)
# The user guide, doc/mode-d-emploi.md, as Notepad reads a text: UTF-8 with
# a byte-order mark (windows/LISEZMOI.txt holds it) and CR LF line ends.
file(READ doc/mode-d-emploi.md DEP_GUIDE)
string(CONFIGURE "${DEP_GUIDE}" DEP_GUIDE @ONLY)
# configure_file ends the template's lines with CR LF, not those of a value.
string(REGEX REPLACE "\n$" "" DEP_GUIDE "${DEP_GUIDE}")
string(REPLACE "\n" "\r\n" DEP_GUIDE "${DEP_GUIDE}")
configure_file(windows/LISEZMOI.txt ${DEP_SHIPPED}/LISEZMOI.txt @ONLY NEWLINE_STYLE CRLF)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS doc/mode-d-emploi.md)
configure_file(LICENSE ${DEP_SHIPPED}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(windows/LICENCES-TIERCES.txt ${DEP_SHIPPED}/LICENCES-TIERCES.txt @ONLY NEWLINE_STYLE CRLF)
dep_release_notes(${DEP_SHIPPED}/CHANGEMENTS.txt)
# What the link takes from each library, for the check that the notices
# name what dep.exe holds.
target_link_options(dep PRIVATE -Wl,-Map=${PROJECT_BINARY_DIR}/dep.map)

# Signing, with the certificate and private key of the PKCS#12 file that
# DEP_SIGNING_CERTIFICATE names, whose password is the first line of the file
# DEP_SIGNING_PASSWORD_FILE names, both in the environment when the build is
# configured; countersigned by the time-stamping authority
# DEP_SIGNING_TIMESTAMP_URL names, if any. dep.exe is signed before it goes
# into the ZIP and the installer, then the installer. Without a certificate,
# nothing is signed.
set(DEP_SIGNING_CERTIFICATE "$ENV{DEP_SIGNING_CERTIFICATE}" CACHE FILEPATH
  "PKCS#12 file that signs dep.exe and its installer (none: unsigned)")
set(DEP_SIGNING_PASSWORD_FILE "$ENV{DEP_SIGNING_PASSWORD_FILE}" CACHE FILEPATH
  "File whose first line is the password of DEP_SIGNING_CERTIFICATE")
set(DEP_SIGNING_TIMESTAMP_URL "$ENV{DEP_SIGNING_TIMESTAMP_URL}" CACHE STRING
  "RFC 3161 time-stamping authority of the signatures (none: not time-stamped)")
if(DEFINED ENV{DEP_SIGNING_PASSWORD})
  message(WARNING "DEP_SIGNING_PASSWORD is no longer read, and every program the build starts "
    "inherits it: unset it, and name a file that holds the password with DEP_SIGNING_PASSWORD_FILE.")
endif()
set(DEP_SIGN "")
set(unsigned ${DEP_SHIPPED})
if(DEP_SIGNING_CERTIFICATE)
  find_program(DEP_OSSLSIGNCODE osslsigncode)
  if(NOT DEP_OSSLSIGNCODE)
    message(FATAL_ERROR "dep.exe and its installer are signed by osslsigncode: install Debian's osslsigncode.")
  endif()
  if(NOT DEP_SIGNING_PASSWORD_FILE)
    message(FATAL_ERROR "${DEP_SIGNING_CERTIFICATE} signs the release: name the file that holds its "
      "password (alone on its first line) with DEP_SIGNING_PASSWORD_FILE.")
  endif()
  set(DEP_SIGN sh ${PROJECT_SOURCE_DIR}/cmake/scripts/sign.sh ${DEP_OSSLSIGNCODE}
    ${DEP_SIGNING_CERTIFICATE} ${DEP_SIGNING_PASSWORD_FILE} ${DEP_SOURCE_DATE_EPOCH})
  set(unsigned ${PROJECT_BINARY_DIR}/unsigned)
endif()

# mingw's strip writes SOURCE_DATE_EPOCH into the program's header.
add_custom_command(OUTPUT ${unsigned}/dep.exe
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${DEP_SOURCE_DATE_EPOCH}
    ${CMAKE_STRIP} -o ${unsigned}/dep.exe $<TARGET_FILE:dep>
  DEPENDS dep
  COMMENT "Stripping dep.exe as it ships"
  VERBATIM)
if(DEP_SIGN)
  add_custom_command(OUTPUT ${DEP_SHIPPED}/dep.exe
    COMMAND ${DEP_SIGN} ${unsigned}/dep.exe ${DEP_SHIPPED}/dep.exe ${DEP_SIGNING_TIMESTAMP_URL}
    DEPENDS ${unsigned}/dep.exe ${DEP_SIGNING_CERTIFICATE} cmake/scripts/sign.sh
    COMMENT "Signing dep.exe"
    VERBATIM)
endif()
set(DEP_SHIPPED_FILES ${DEP_SHIPPED}/dep.exe ${DEP_SHIPPED}/LISEZMOI.txt ${DEP_SHIPPED}/CHANGEMENTS.txt
  ${DEP_SHIPPED}/LICENSE.txt ${DEP_SHIPPED}/LICENCES-TIERCES.txt)

# The installer, built by wixl at a fixed time (scripts/build_installer.cmake).
# DEP_BUILD_INSTALLER, followed by -DVERSION=... -DOUTPUT=... and the script,
# builds it at another version (the tests build the next version's).
find_program(DEP_WIXL wixl)
find_program(DEP_MSIBUILD msibuild)
find_program(DEP_MSIINFO msiinfo)
find_program(DEP_FAKETIME faketime)
if(NOT DEP_WIXL OR NOT DEP_MSIBUILD OR NOT DEP_MSIINFO OR NOT DEP_FAKETIME)
  message(FATAL_ERROR "The Windows installer is built by wixl and msitools at the release's time: "
    "install Debian's wixl, msitools and faketime.")
endif()
set(DEP_BUILD_INSTALLER ${CMAKE_COMMAND}
  -DWXS=${PROJECT_SOURCE_DIR}/windows/dep.wxs -DFILES_DIR=${DEP_SHIPPED} -DICON=${DEP_ICON}
  -DFILE_VERSION=${PROJECT_VERSION}.0 -DEPOCH=${DEP_SOURCE_DATE_EPOCH} -DWIXL=${DEP_WIXL}
  -DMSIBUILD=${DEP_MSIBUILD} -DMSIINFO=${DEP_MSIINFO} -DFAKETIME=${DEP_FAKETIME})
set(DEP_INSTALLER ${PROJECT_BINARY_DIR}/installer/dep-${PROJECT_VERSION}-x64.msi)
set(unsigned_installer ${DEP_INSTALLER})
if(DEP_SIGN)
  set(unsigned_installer ${unsigned}/dep-${PROJECT_VERSION}-x64.msi)
  add_custom_command(OUTPUT ${DEP_INSTALLER}
    COMMAND ${DEP_SIGN} ${unsigned_installer} ${DEP_INSTALLER} ${DEP_SIGNING_TIMESTAMP_URL}
    DEPENDS ${unsigned_installer} ${DEP_SIGNING_CERTIFICATE} cmake/scripts/sign.sh
    COMMENT "Signing the Windows installer"
    VERBATIM)
endif()
add_custom_command(OUTPUT ${unsigned_installer}
  COMMAND ${DEP_BUILD_INSTALLER} -DVERSION=${PROJECT_VERSION} -DOUTPUT=${unsigned_installer}
    -P ${PROJECT_SOURCE_DIR}/cmake/scripts/build_installer.cmake
  DEPENDS ${DEP_SHIPPED_FILES} ${DEP_ICON} windows/dep.wxs cmake/scripts/build_installer.cmake
  COMMENT "Building the Windows installer"
  VERBATIM)
add_custom_target(dep_installer ALL DEPENDS ${DEP_INSTALLER})

install(PROGRAMS ${DEP_SHIPPED}/dep.exe DESTINATION .)
install(FILES ${DEP_SHIPPED}/LISEZMOI.txt ${DEP_SHIPPED}/CHANGEMENTS.txt ${DEP_SHIPPED}/LICENSE.txt
  ${DEP_SHIPPED}/LICENCES-TIERCES.txt DESTINATION .)
set(CPACK_PACKAGE_FILE_NAME dep-${PROJECT_VERSION}-win64)
set(CPACK_DEP_ZIPS .=${CPACK_PACKAGE_FILE_NAME})
set(CPACK_DEP_PACKAGES ${DEP_INSTALLER})
