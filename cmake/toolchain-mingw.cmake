# What both Windows cross-builds share, with Debian's MinGW-w64 GCC (the posix thread model, for
# std::thread); the toolchain file of each flavour sets QZR_MINGW_ARCH and includes this one.
# Programs link the C and C++ runtimes statically, so they import only system DLLs.
# QZR_WINDOWS_DEPS is the prefix of the third-party libraries cross-built for this flavour
# (scripts/build-windows-deps.sh prints it): CMake and pkg-config look there and in MinGW's own
# root, never in the host's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QZR_MINGW_ARCH})
set(QZR_MINGW_PREFIX ${QZR_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${QZR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QZR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QZR_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QZR_MINGW_PREFIX} ${QZR_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QZR_WINDOWS_DEPS)
if(QZR_WINDOWS_DEPS)
    set(ENV{PKG_CONFIG_LIBDIR} ${QZR_WINDOWS_DEPS}/lib/pkgconfig)
else()
    set(ENV{PKG_CONFIG_LIBDIR} /usr/${QZR_MINGW_PREFIX}/lib/pkgconfig)
endif()
unset(ENV{PKG_CONFIG_PATH})
# MinGW's zlib comes as a static library and as an import library of zlib1.dll: the static one.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
