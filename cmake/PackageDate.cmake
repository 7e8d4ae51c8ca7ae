# Read by CPack before it packs (CPACK_PROJECT_CONFIG_FILE): every time stamp
# it writes, strip's in the header of dep.exe and the ZIPs' included, is
# SOURCE_DATE_EPOCH, or else the date of the changelog's top entry, as dpkg
# dates a package, so that two builds of one commit give the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(
    COMMAND ${CPACK_DEP_PARSECHANGELOG} -l ${CPACK_DEP_CHANGELOG} -S Timestamp
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
