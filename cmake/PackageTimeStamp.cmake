# The time stamp of every file in a package: SOURCE_DATE_EPOCH when the
# environment gives one, otherwise the date of the changelog's top entry, so
# that two builds of one commit give the same bytes.
file(STRINGS packaging/changelog DEP_CHANGELOG_TRAILER REGEX "^ -- " LIMIT_COUNT 1)
string(REGEX REPLACE "^ -- .*>  " "" DEP_CHANGELOG_DATE "${DEP_CHANGELOG_TRAILER}")
execute_process(COMMAND date -u -d "${DEP_CHANGELOG_DATE}" +%s
  OUTPUT_VARIABLE DEP_CHANGELOG_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackTimeStamp.cmake)
file(WRITE ${CPACK_PROJECT_CONFIG_FILE} "if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${DEP_CHANGELOG_EPOCH})
endif()
")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS packaging/changelog)
