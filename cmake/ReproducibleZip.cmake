# Zips the files of `folder` into `zip` so that two builds give the same
# bytes, which CPack's own ZIP does not promise (it takes the entries in the
# order the file system lists them, with their owner): in name order, with no
# owner and no extra time fields (zip -X), in UTC, each stamped with
# SOURCE_DATE_EPOCH or else, as dpkg dates a package, with the date of the
# changelog's top entry. For CPack's package scripts.
function(reproducible_zip folder zip)
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch $ENV{SOURCE_DATE_EPOCH})
  else()
    execute_process(
      COMMAND ${CPACK_DEP_PARSECHANGELOG} -l ${CPACK_DEP_CHANGELOG} -S Timestamp
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(GLOB files RELATIVE ${folder} ${folder}/*)
  list(SORT files)
  file(REMOVE ${zip})
  execute_process(
    COMMAND touch -d @${epoch} ${files}
    COMMAND_ERROR_IS_FATAL ANY
    WORKING_DIRECTORY ${folder})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -D -q -9 ${zip} ${files}
    COMMAND_ERROR_IS_FATAL ANY
    WORKING_DIRECTORY ${folder})
endfunction()
