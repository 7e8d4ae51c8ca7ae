# CPack's package script for Windows (CPack External): the staged files at
# the top of the ZIP, and the installer the build made beside it.
include(${CMAKE_CURRENT_LIST_DIR}/ReproducibleZip.cmake)
set(DEP_ZIP_FILE ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip)
reproducible_zip(${CPACK_TEMPORARY_DIRECTORY} ${DEP_ZIP_FILE})
set(CPACK_EXTERNAL_BUILT_PACKAGES ${DEP_ZIP_FILE} ${CPACK_DEP_INSTALLER})
