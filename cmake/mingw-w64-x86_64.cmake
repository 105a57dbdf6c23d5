# Cross-compiling the Windows console build with MinGW-w64 (64-bit, win32
# threads).  Libraries and headers come from the MinGW sysroot only; zlib is
# linked statically so the .exe needs nothing beyond the system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RAVELKIT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RAVELKIT_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${RAVELKIT_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${RAVELKIT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RAVELKIT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(ZLIB_USE_STATIC_LIBS ON)
