# The product: a 32-bit Windows DLL, built with MinGW-w64 (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(VIVU_OBJDUMP i686-w64-mingw32-objdump)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
# The packages whose versions decide the DLL's bytes (BUILDINFO.txt).
set(VIVU_BUILD_PACKAGES g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix-runtime binutils-mingw-w64-i686
    mingw-w64-i686-dev mingw-w64-common)
