# Builds dep's Windows Installer package OUTPUT at VERSION from the WiX
# source WXS, the files it installs, those of the folder FILES_DIR, and
# dep.exe's icon ICON, with Debian's wixl, msibuild (msitools) and faketime,
# so that two builds give the same bytes: every time in the package is EPOCH
# (seconds since 1970), and its codes are derived from its UpgradeCode and
# its contents.
# dep.exe's version resource says FILE_VERSION. Run as a script:
#   cmake -DWXS=... -DFILES_DIR=... -DICON=... -DFILE_VERSION=... -DVERSION=... -DEPOCH=...
#     -DWIXL=... -DMSIBUILD=... -DMSIINFO=... -DFAKETIME=... -DOUTPUT=... -P build_installer.cmake

# The package code and the product code both name a package: all that makes
# it, so that any change to the package makes another of each. Windows
# Installer refuses a package that differs from the installed one under the
# same product code (error 1638); with a product code of its own, a second
# build of the installed version replaces it as a newer version would.
file(READ ${WXS} source)
if(NOT source MATCHES "UpgradeCode=\"([0-9A-F-]+)\"")
  message(FATAL_ERROR "${WXS} names no UpgradeCode")
endif()
set(upgrade_code ${CMAKE_MATCH_1})
file(GLOB files ${FILES_DIR}/*)
list(SORT files)
execute_process(COMMAND ${WIXL} --version OUTPUT_VARIABLE wixl_version COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${MSIBUILD} OUTPUT_VARIABLE msibuild_usage ERROR_VARIABLE msibuild_usage)
string(SHA256 msibuild_usage "${msibuild_usage}")
set(contents "package ${VERSION} ${FILE_VERSION} ${EPOCH} wixl ${wixl_version} msibuild ${msibuild_usage}")
foreach(file IN LISTS files ICON WXS CMAKE_CURRENT_LIST_FILE)
  file(SHA256 ${file} sum)
  string(APPEND contents " ${sum}")
endforeach()
string(UUID package_code NAMESPACE ${upgrade_code} NAME "${contents}" TYPE SHA1 UPPER)
string(UUID product_code NAMESPACE ${upgrade_code} NAME "product ${contents}" TYPE SHA1 UPPER)

# The cabinet keeps each file's time: the files are staged with EPOCH's.
set(stage ${OUTPUT}.files)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})
file(COPY ${files} ${ICON} DESTINATION ${stage})
file(GLOB staged ${stage}/*)
execute_process(COMMAND touch -d @${EPOCH} ${staged} COMMAND_ERROR_IS_FATAL ANY)

# wixl writes its clock into the package's summary and gives it a random
# package code; msibuild, which writes the summary again, sets the package
# code and the template (64-bit, French) and keeps wixl's subject and author,
# in the package's code page (wixl writes them in UTF-8). Both run with the
# clock stopped at EPOCH, and read the files' own times.
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
string(TIMESTAMP clock "%Y-%m-%d %H:%M:%S" UTC)
set(at_epoch ${CMAKE_COMMAND} -E env TZ=UTC NO_FAKE_STAT=1 ${FAKETIME} -f ${clock})
file(REMOVE ${OUTPUT})
execute_process(
  COMMAND ${at_epoch} ${WIXL} --arch x64 -D Version=${VERSION} -D ProductCode=${product_code}
    -o ${OUTPUT} ${WXS}
  WORKING_DIRECTORY ${stage}
  COMMAND_ERROR_IS_FATAL ANY)
if(NOT source MATCHES "Codepage=\"1252\"")
  message(FATAL_ERROR "${WXS}: the package's summary is written in code page 1252, which it must name")
endif()
execute_process(COMMAND ${MSIINFO} suminfo ${OUTPUT}
  OUTPUT_VARIABLE summary COMMAND_ERROR_IS_FATAL ANY)
foreach(field Subject Author)
  string(REGEX MATCH "${field}: ([^\n]*)" line "${summary}")
  execute_process(COMMAND printf %s "${CMAKE_MATCH_1}" COMMAND iconv -f UTF-8 -t CP1252
    OUTPUT_VARIABLE ${field} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# dep.exe is a versioned file: Windows Installer compares its version, in
# French, where it compares the hash of a file that has none. The upgrade
# removes the installed versions up to this one included (VersionMaxInclusive,
# 512, beside MigrateFeatures, 1): wixl's MajorUpgrade stops below it.
execute_process(
  COMMAND ${at_epoch} ${MSIBUILD} ${OUTPUT}
    -q "UPDATE `File` SET `Version` = '${FILE_VERSION}', `Language` = '1036' WHERE `File` = 'dep.exe'"
    -q "DELETE FROM `MsiFileHash` WHERE `File_` = 'dep.exe'"
    -q "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'"
    -q "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('{${upgrade_code}}', '${VERSION}', 513, 'WIX_UPGRADE_DETECTED')"
    -s "${Subject}" "${Author}" "x64;1036" "{${package_code}}"
  COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${stage})
