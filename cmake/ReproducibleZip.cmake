# Zips the files of `folder` into `zip` so that two builds give the same
# bytes, which CPack's own ZIP does not promise (it takes the entries in the
# order the file system lists them, with their owner): in name order, each
# stamped with SOURCE_DATE_EPOCH, with no owner and no extra time fields
# (zip -X), in UTC. For CPack's package scripts.
function(reproducible_zip folder zip)
  file(GLOB files RELATIVE ${folder} ${folder}/*)
  list(SORT files)
  file(REMOVE ${zip})
  execute_process(
    COMMAND touch -d @$ENV{SOURCE_DATE_EPOCH} ${files}
    COMMAND_ERROR_IS_FATAL ANY
    WORKING_DIRECTORY ${folder})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -D -q -9 ${zip} ${files}
    COMMAND_ERROR_IS_FATAL ANY
    WORKING_DIRECTORY ${folder})
endfunction()
