# Read by CPack before it packs (CPACK_PROJECT_CONFIG_FILE): the ZIPs' time
# stamps are the release's (DEP_SOURCE_DATE_EPOCH in CMakeLists.txt).
set(ENV{SOURCE_DATE_EPOCH} ${CPACK_DEP_SOURCE_DATE_EPOCH})
