# The program as one web page: the dialogue compiled to WebAssembly with the
# page's console; the module's code in base64, its script, the page's style
# and scripts all inlined into the page. The same page, with what only the
# app does, is the index.html of an app that works offline once a web server
# has served it: with its manifest, its service worker, its icons and its
# accessibility statement, in app/; what each kind of web server needs is
# in app/ and server/, and what withdraws the app from a server in
# withdrawal/. Users get the page as one file, dep-<version>.html, the app
# to put on a web server as dep-<version>-app.zip, and the server's files
# and the withdrawal as dep-<version>-server.zip and
# dep-<version>-withdrawal.zip.

# Debian's Emscripten links with Node and Debian's Node modules; Node also
# assembles the page.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
find_program(DEP_NODE NAMES node nodejs REQUIRED)

# The module: ASYNCIFY lets the console's reads await the page's promises, so
# the dialogue keeps its blocking reads; the C library's formatting never
# reaches them, so it is left as it is. No file system, no main: the page
# runs a consultation through dep_run_consultation, and hands the module its
# WebAssembly code itself.
add_executable(dep_module web/main.cpp web/browser_console.cpp)
target_link_libraries(dep_module PRIVATE dep_consultation dep_warnings dep_lean)
target_link_options(dep_module PRIVATE
  -sASYNCIFY "-sASYNCIFY_REMOVE=[\"printf_core\",\"fmt_fp\",\"pop_arg\",\"pad\",\"out\"]"
  -sMALLOC=emmalloc -sMODULARIZE -sEXPORT_NAME=createDep -sFILESYSTEM=0 -sENVIRONMENT=web
  "-sINCOMING_MODULE_JS_API=[\"page\",\"instantiateWasm\"]"
  -sEXPORTED_RUNTIME_METHODS=ccall --no-entry)
set_target_properties(dep_module PROPERTIES SUFFIX .js)

# The single file, and the app's index.html with the app's links, worker and
# line, and beside it its accessibility statement.
set(DEP_PAGE ${PROJECT_BINARY_DIR}/dep.html)
set(DEP_APP ${PROJECT_BINARY_DIR}/app)
set(DEP_APP_PAGE ${DEP_APP}/index.html)
set(DEP_STATEMENT ${DEP_APP}/accessibilite.html)
set(DEP_GUIDE ${DEP_APP}/mode-d-emploi.html)
set(assemble ${DEP_NODE} ${PROJECT_SOURCE_DIR}/cmake/scripts/assemble_page.mjs ${PROJECT_SOURCE_DIR}
  $<TARGET_FILE:dep_module> $<TARGET_FILE_DIR:dep_module>/dep_module.wasm ${PROJECT_VERSION})
set(page_sources web/page.html web/page.css web/page_program.js web/page_keys.js web/page.js LICENSE
  web/notices.txt web/accessibilite.csv cmake/scripts/assemble_page.mjs)
add_custom_command(OUTPUT ${DEP_PAGE}
  COMMAND ${assemble} ${DEP_PAGE}
  DEPENDS dep_module ${page_sources}
  COMMENT "Assembling the web page"
  VERBATIM)
add_custom_command(OUTPUT ${DEP_APP_PAGE}
  COMMAND ${assemble} ${DEP_APP_PAGE} --app
  DEPENDS dep_module ${page_sources} web/page_app.html web/page_app.js
  COMMENT "Assembling the web app's page"
  VERBATIM)
set(document_sources web/document.html web/page.css doc/mode-d-emploi.md web/accessibilite.csv
  cmake/scripts/assemble_page.mjs)
add_custom_command(OUTPUT ${DEP_STATEMENT}
  COMMAND ${assemble} ${DEP_STATEMENT} --document ${PROJECT_SOURCE_DIR}/web/accessibilite.html
  DEPENDS dep_module web/accessibilite.html ${document_sources}
  COMMENT "Assembling the web app's accessibility statement"
  VERBATIM)
add_custom_command(OUTPUT ${DEP_GUIDE}
  COMMAND ${assemble} ${DEP_GUIDE} --document ${PROJECT_SOURCE_DIR}/web/mode_d_emploi.html
  DEPENDS dep_module web/mode_d_emploi.html ${document_sources}
  COMMENT "Assembling the web app's user guide"
  VERBATIM)

# What a web server needs to serve the app's folder, and which a server
# sends for every build alike: the app's folder holds IIS's web.config, which
# IIS never serves, and an .htaccess for Apache hosts that read it; the
# server's own files, which stay when the folder is replaced, are in
# server/. The policy the servers send forbids every site to frame the app
# and keeps the app's pages and worker to the app's origin; each page's own
# policy narrows it to its scripts and style by their hashes.
set(DEP_HEADER_POLICY "default-src 'self'; script-src 'self' 'unsafe-inline' 'wasm-unsafe-eval'; \
style-src 'self' 'unsafe-inline'; object-src 'none'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'")
set(DEP_WEB_SERVER ${PROJECT_BINARY_DIR}/server)
set(DEP_WITHDRAWAL ${PROJECT_BINARY_DIR}/withdrawal)
file(READ web/server/apache_directives.conf directives)
string(CONFIGURE "${directives}" DEP_APACHE_DIRECTIVES @ONLY)
string(STRIP "${DEP_APACHE_DIRECTIVES}" DEP_APACHE_DIRECTIVES)
foreach(folder ${DEP_APP} ${DEP_WITHDRAWAL})
  configure_file(web/server/web.config ${folder}/web.config @ONLY)
  configure_file(web/server/htaccess ${folder}/.htaccess @ONLY)
endforeach()
configure_file(web/server/apache.conf ${DEP_WEB_SERVER}/apache.conf @ONLY)
configure_file(web/server/nginx.conf ${DEP_WEB_SERVER}/nginx.conf @ONLY)

configure_file(web/manifest.webmanifest ${DEP_APP}/manifest.webmanifest COPYONLY)
configure_file(web/icon.svg ${DEP_APP}/icon.svg COPYONLY)

# The icons a device shows, drawn from the one in web/.
find_program(DEP_RSVG_CONVERT rsvg-convert)
if(NOT DEP_RSVG_CONVERT)
  message(FATAL_ERROR "The app's icons are drawn by rsvg-convert: install Debian's librsvg2-bin.")
endif()
set(icons "")
foreach(size 192 512)
  set(icon ${DEP_APP}/icon-${size}.png)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${DEP_RSVG_CONVERT} --width ${size} --height ${size} --output ${icon}
      ${PROJECT_SOURCE_DIR}/web/icon.svg
    DEPENDS web/icon.svg
    COMMENT "Drawing the app's ${size}-pixel icon"
    VERBATIM)
  list(APPEND icons ${icon})
endforeach()

# The worker, with the hash of each file it keeps.
set(worker_sources web/service_worker.js web/statement_offline.html ${document_sources})
add_custom_command(OUTPUT ${DEP_APP}/service-worker.js
  COMMAND ${assemble} ${DEP_APP}/service-worker.js --worker
  DEPENDS dep_module ${DEP_APP_PAGE} ${DEP_GUIDE} ${icons} web/manifest.webmanifest web/icon.svg ${worker_sources}
  COMMENT "Writing the web app's service worker"
  VERBATIM)

# What withdraws the app from its address, put in place of its folder: a
# page that says so, and a worker that deletes what the device keeps of
# that copy and ends itself.
add_custom_command(OUTPUT ${DEP_WITHDRAWAL}/index.html
  COMMAND ${assemble} ${DEP_WITHDRAWAL}/index.html --document ${PROJECT_SOURCE_DIR}/web/withdrawal.html
  DEPENDS dep_module web/withdrawal.html ${document_sources}
  COMMENT "Assembling the page of the app's withdrawal"
  VERBATIM)
add_custom_command(OUTPUT ${DEP_WITHDRAWAL}/service-worker.js
  COMMAND ${assemble} ${DEP_WITHDRAWAL}/service-worker.js --withdrawn
  DEPENDS dep_module ${worker_sources}
  COMMENT "Writing the worker of the app's withdrawal"
  VERBATIM)
# The release notes, in the app's folder and so in its ZIP; the worker does not keep them.
dep_release_notes(${DEP_APP}/CHANGEMENTS.txt)
add_custom_target(dep_page ALL DEPENDS ${DEP_PAGE} ${DEP_APP}/service-worker.js ${DEP_STATEMENT}
  ${DEP_APP}/CHANGEMENTS.txt ${DEP_WITHDRAWAL}/index.html ${DEP_WITHDRAWAL}/service-worker.js)

install(FILES ${DEP_PAGE} DESTINATION . RENAME dep-${PROJECT_VERSION}.html)
install(DIRECTORY ${DEP_APP}/ DESTINATION app)
install(DIRECTORY ${DEP_WEB_SERVER}/ DESTINATION server)
install(DIRECTORY ${DEP_WITHDRAWAL}/ DESTINATION withdrawal)
set(CPACK_PACKAGE_FILE_NAME dep-${PROJECT_VERSION}-app)
set(CPACK_DEP_ZIPS app=${CPACK_PACKAGE_FILE_NAME} server=dep-${PROJECT_VERSION}-server
  withdrawal=dep-${PROJECT_VERSION}-withdrawal)
set(CPACK_DEP_PACKAGES dep-${PROJECT_VERSION}.html)
