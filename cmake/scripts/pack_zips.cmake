# CPack's package script (CPack External) for dep for Windows and for the
# web: each staged folder of CPACK_DEP_ZIPS, a list of FOLDER=NAME ("." for
# the whole staging), zipped into NAME.zip, with the packages
# CPACK_DEP_PACKAGES beside them (a relative name is a staged file). Two
# builds give the same ZIP, which CPack's own ZIP does not promise (it takes
# the entries in the order the file system lists them, with their owner):
# the files in name order, each stamped with the release's time
# CPACK_DEP_SOURCE_DATE_EPOCH, with no owner and no extra time fields
# (zip -X), in UTC.
set(CPACK_EXTERNAL_BUILT_PACKAGES "")
foreach(entry IN LISTS CPACK_DEP_ZIPS)
  string(REPLACE "=" ";" entry ${entry})
  list(GET entry 0 name)
  list(GET entry 1 zip_name)
  set(folder ${CPACK_TEMPORARY_DIRECTORY}/${name})
  set(zip ${CPACK_TOPLEVEL_DIRECTORY}/${zip_name}.zip)
  file(GLOB files LIST_DIRECTORIES false RELATIVE ${folder} ${folder}/*)
  list(SORT files)
  file(REMOVE ${zip})
  execute_process(COMMAND touch -d @${CPACK_DEP_SOURCE_DATE_EPOCH} ${files}
    WORKING_DIRECTORY ${folder} COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -D -q -9 ${zip} ${files}
    WORKING_DIRECTORY ${folder} COMMAND_ERROR_IS_FATAL ANY)
  list(APPEND CPACK_EXTERNAL_BUILT_PACKAGES ${zip})
endforeach()
foreach(package IN LISTS CPACK_DEP_PACKAGES)
  cmake_path(ABSOLUTE_PATH package BASE_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY})
  list(APPEND CPACK_EXTERNAL_BUILT_PACKAGES ${package})
endforeach()
