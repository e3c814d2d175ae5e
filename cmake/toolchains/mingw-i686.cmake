# 32-bit Windows, the build that ships. The compilers of the "win32" thread model: those of the
# "posix" model link the winpthreads library, which imports GetTickCount64 (Windows Vista and
# later) and AddVectoredExceptionHandler (Windows XP and later) from KERNEL32, so the program
# would not even start on Windows 2000. The program needs no C++ thread library: its one worker
# thread is the system's own (CreateThread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
