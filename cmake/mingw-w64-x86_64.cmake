# Cross-compiling the Windows console build with MinGW-w64 (64-bit, posix
# threads: std::thread, std::mutex and std::condition_variable work on
# winpthreads, as they do on Linux).  Libraries and headers come from the
# MinGW sysroot only; zlib and winpthreads are linked statically so the .exe
# needs nothing beyond the system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RAVELKIT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RAVELKIT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RAVELKIT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${RAVELKIT_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RAVELKIT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(ZLIB_USE_STATIC_LIBS ON)

# The licences of the MinGW-w64 runtime linked into the .exe, winpthreads'
# among them: the copyright file of the Debian package that ships
# libwinpthread.a.  The .zip carries it.
set(RAVELKIT_MINGW_LICENSE /usr/share/doc/mingw-w64-x86-64-dev/copyright CACHE FILEPATH
    "Licences of the MinGW-w64 runtime linked into ravelkit.exe (winpthreads' among them)")
