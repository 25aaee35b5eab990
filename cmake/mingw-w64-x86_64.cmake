# Cross-compiling the Windows build on Linux with Debian's mingw-w64 (the posix thread model, so that
# std::thread and friends work as on any other C++ platform).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HOVERMARK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${HOVERMARK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HOVERMARK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${HOVERMARK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${HOVERMARK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs built here run on this machine under Wine (CTest uses this to start them).
find_program(HOVERMARK_WINE wine)
if(HOVERMARK_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${HOVERMARK_WINE})
endif()
