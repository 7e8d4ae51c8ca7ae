# Writes the web app's service worker into the app's folder APP, from
# web/service_worker.js at VERSION: the files it keeps, and a hash of them
# that names its cache. Any change to a kept file makes another worker,
# which browsers install as a new version. With WITHDRAWN, the worker of the
# app's withdrawal, which keeps nothing. Run as a script, once the folder
# holds the files:
#   cmake -DAPP=... -DVERSION=... [-DWITHDRAWN=ON] -P write_service_worker.cmake

# What the worker keeps; the browser keeps the worker itself.
set(files index.html manifest.webmanifest icon.svg icon-192.png icon-512.png)
set(DEP_APP_WITHDRAWN false)
if(WITHDRAWN)
  set(files "")
  set(DEP_APP_WITHDRAWN true)
endif()
set(contents "")
foreach(file IN LISTS files)
  file(SHA256 ${APP}/${file} sum)
  string(APPEND contents "${sum}  ${file}\n")
endforeach()
string(SHA256 hash "${contents}")
string(SUBSTRING ${hash} 0 16 DEP_APP_HASH)

list(TRANSFORM files REPLACE "(.+)" "\"\\1\"" OUTPUT_VARIABLE DEP_APP_FILE_LIST)
list(JOIN DEP_APP_FILE_LIST ", " DEP_APP_FILE_LIST)
set(PROJECT_VERSION ${VERSION})
configure_file(${CMAKE_CURRENT_LIST_DIR}/../../web/service_worker.js ${APP}/service-worker.js @ONLY)
