# CPack's package script (CPack External) for dep for Windows and for the
# web: the staged folder CPACK_DEP_ZIP_FOLDER ("." for the whole staging)
# zipped into CPACK_PACKAGE_FILE_NAME.zip, with the packages
# CPACK_DEP_PACKAGES beside it (a relative name is a staged file). Two
# builds give the same ZIP, which CPack's own ZIP does not promise (it takes
# the entries in the order the file system lists them, with their owner):
# the files in name order, each stamped with the release's time
# CPACK_DEP_SOURCE_DATE_EPOCH, with no owner and no extra time fields
# (zip -X), in UTC.
set(folder ${CPACK_TEMPORARY_DIRECTORY}/${CPACK_DEP_ZIP_FOLDER})
set(zip ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip)
file(GLOB files RELATIVE ${folder} ${folder}/*)
list(SORT files)
file(REMOVE ${zip})
execute_process(COMMAND touch -d @${CPACK_DEP_SOURCE_DATE_EPOCH} ${files}
  WORKING_DIRECTORY ${folder} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -D -q -9 ${zip} ${files}
  WORKING_DIRECTORY ${folder} COMMAND_ERROR_IS_FATAL ANY)

set(CPACK_EXTERNAL_BUILT_PACKAGES ${zip})
foreach(package IN LISTS CPACK_DEP_PACKAGES)
  cmake_path(ABSOLUTE_PATH package BASE_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY})
  list(APPEND CPACK_EXTERNAL_BUILT_PACKAGES ${package})
endforeach()
