# 64-bit Windows with MinGW-w64: the same programs as the 32-bit build, for
# running the Windows tests under 64-bit Wine on machines whose kernel does not
# run 32-bit code (there, 32-bit Wine fails with "Exec format error").
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Debian's /usr/bin/wine prefers the 32-bit loader whenever it is installed,
# even where it cannot run; call the 64-bit loader itself.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
