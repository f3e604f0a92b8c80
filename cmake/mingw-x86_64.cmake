# The same sources built as 64-bit Windows code, for running the test suite
# under 64-bit Wine on hosts whose kernel cannot execute 32-bit code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(VIVU_OBJDUMP x86_64-w64-mingw32-objdump)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
# The packages whose versions decide the DLL's bytes (BUILDINFO.txt).
set(VIVU_BUILD_PACKAGES g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix-runtime binutils-mingw-w64-x86-64
    mingw-w64-x86-64-dev mingw-w64-common)
