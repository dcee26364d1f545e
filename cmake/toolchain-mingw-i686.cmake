# Cross-build for i686 Windows with Debian's MinGW-w64 GCC (the posix thread model, for
# std::thread). Programs link the C and C++ runtimes statically, so they import only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QZR_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QZR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QZR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QZR_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QZR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
# The x87 unit rounds differently from SSE; the ROM tables must come out as on every other build.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
