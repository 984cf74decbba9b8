# Cross-building the Windows program on Debian with mingw-w64 (x86_64-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSELBOX_MINGW_PREFIX x86_64-w64-mingw32)
# The posix flavour: GCC 12's win32 flavour has no std::thread, which the conversion uses.
set(CMAKE_C_COMPILER ${TESSELBOX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSELBOX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSELBOX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSELBOX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe with no DLL beside it: the C++ runtime, winpthread and zlib are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

# Test programs run under Wine; WINEPREFIX comes from the environment.
find_program(TESSELBOX_WINE NAMES wine)
if(TESSELBOX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSELBOX_WINE})
endif()
