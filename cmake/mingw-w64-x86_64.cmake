# dep.exe for 64-bit Windows, cross-built with Debian's mingw-w64 (the POSIX
# threads flavour), and run under Wine wherever the build runs what it built.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program carries its C++ and thread runtime: it needs no DLL beyond
# those of Windows itself. No link time in the PE header: two builds of one
# commit give the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")

# Wine in a prefix of the build's own, quiet, without the .NET and HTML
# engines it would otherwise offer to install.
find_program(DEP_WINE wine)
if(DEP_WINE)
  set(DEP_WINE_ENVIRONMENT
    WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)
  set(CMAKE_CROSSCOMPILING_EMULATOR env ${DEP_WINE_ENVIRONMENT} ${DEP_WINE})
endif()
