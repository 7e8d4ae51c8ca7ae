# Builds dep's Windows Installer package OUTPUT at VERSION from the WiX
# source WXS and the files it installs, those of the folder FILES_DIR, with
# Debian's wixl, msibuild (msitools) and faketime, so that two builds give
# the same bytes: every time in the package is EPOCH (seconds since 1970),
# and its codes are derived from its UpgradeCode. Run as a script:
#   cmake -DWXS=... -DFILES_DIR=... -DVERSION=... -DEPOCH=... -DWIXL=...
#     -DMSIBUILD=... -DMSIINFO=... -DFAKETIME=... -DOUTPUT=... -P build_installer.cmake

# The product code names a version, and the package code a package: the
# version with its files, so that a package whose files change is another.
file(READ ${WXS} source)
if(NOT source MATCHES "UpgradeCode=\"([0-9A-F-]+)\"")
  message(FATAL_ERROR "${WXS} names no UpgradeCode")
endif()
set(upgrade_code ${CMAKE_MATCH_1})
string(UUID product_code NAMESPACE ${upgrade_code} NAME "product ${VERSION}" TYPE SHA1 UPPER)
file(GLOB files ${FILES_DIR}/*)
list(SORT files)
set(contents "package ${VERSION}")
foreach(file IN LISTS files)
  file(SHA256 ${file} sum)
  string(APPEND contents " ${sum}")
endforeach()
string(UUID package_code NAMESPACE ${upgrade_code} NAME "${contents}" TYPE SHA1 UPPER)

# The cabinet keeps each file's time: the files are staged with EPOCH's.
set(stage ${OUTPUT}.files)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})
file(COPY ${files} DESTINATION ${stage})
file(GLOB staged ${stage}/*)
execute_process(COMMAND touch -d @${EPOCH} ${staged} COMMAND_ERROR_IS_FATAL ANY)

# wixl writes its clock into the package's summary and gives it a random
# package code; msibuild, which writes the summary again, sets the package
# code and the template (64-bit, French) and keeps wixl's subject and author.
# Both run with the clock stopped at EPOCH, and read the files' own times.
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
string(TIMESTAMP clock "%Y-%m-%d %H:%M:%S" UTC)
set(at_epoch ${CMAKE_COMMAND} -E env TZ=UTC NO_FAKE_STAT=1 ${FAKETIME} -f ${clock})
file(REMOVE ${OUTPUT})
execute_process(
  COMMAND ${at_epoch} ${WIXL} --arch x64 -D Version=${VERSION} -D ProductCode=${product_code}
    -o ${OUTPUT} ${WXS}
  WORKING_DIRECTORY ${stage}
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${MSIINFO} suminfo ${OUTPUT}
  OUTPUT_VARIABLE summary COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "Subject: ([^\n]*)" subject "${summary}")
set(subject ${CMAKE_MATCH_1})
string(REGEX MATCH "Author: ([^\n]*)" author "${summary}")
set(author ${CMAKE_MATCH_1})
execute_process(
  COMMAND ${at_epoch} ${MSIBUILD} ${OUTPUT} -s "${subject}" "${author}" "x64;1036" "{${package_code}}"
  COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${stage})
