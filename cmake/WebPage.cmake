# The program as one web page: the dialogue compiled to WebAssembly with the
# page's console; the module's code in base64, its script, the page's style
# and scripts all inlined into the page.

# The module: ASYNCIFY lets the console's reads await the page's promises, so
# the dialogue keeps its blocking reads; the C library's formatting never
# reaches them, so it is left as it is. No file system, no main: the page
# runs a consultation through dep_run_consultation, and hands the module its
# WebAssembly code itself.
# Debian's Emscripten links with Node and Debian's Node modules.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
add_executable(dep_module web/main.cpp web/browser_console.cpp)
target_link_libraries(dep_module PRIVATE dep_consultation dep_warnings dep_lean)
target_link_options(dep_module PRIVATE
  -sASYNCIFY "-sASYNCIFY_REMOVE=[\"printf_core\",\"fmt_fp\",\"pop_arg\",\"pad\",\"out\"]"
  -sMALLOC=emmalloc -sMODULARIZE -sEXPORT_NAME=createDep -sFILESYSTEM=0 -sENVIRONMENT=web
  -sEXPORTED_RUNTIME_METHODS=ccall --no-entry)
set_target_properties(dep_module PROPERTIES SUFFIX .js)
set(DEP_MODULE_BASE64 ${PROJECT_BINARY_DIR}/dep_module.wasm.base64)
add_custom_command(OUTPUT ${DEP_MODULE_BASE64}
  COMMAND base64 -w 0 $<TARGET_FILE_DIR:dep_module>/dep_module.wasm > ${DEP_MODULE_BASE64}
  DEPENDS dep_module
  COMMENT "Encoding the WebAssembly module in base64")

set(DEP_PAGE ${PROJECT_BINARY_DIR}/page/dep.html)
set(DEP_PAGE_SOURCES
  web/page.html web/page.css web/page_program.js web/page_keys.js web/page.js LICENSE)
add_custom_command(OUTPUT ${DEP_PAGE}
  COMMAND ${CMAKE_COMMAND}
    -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
    -DMODULE_SCRIPT=$<TARGET_FILE:dep_module>
    -DMODULE_BASE64=${DEP_MODULE_BASE64}
    -DVERSION=${PROJECT_VERSION}
    -DOUTPUT=${DEP_PAGE}
    -P ${PROJECT_SOURCE_DIR}/cmake/AssemblePage.cmake
  DEPENDS dep_module ${DEP_MODULE_BASE64} ${DEP_PAGE_SOURCES} cmake/AssemblePage.cmake
  COMMENT "Assembling the web page"
  VERBATIM)
add_custom_target(dep_page ALL DEPENDS ${DEP_PAGE})
