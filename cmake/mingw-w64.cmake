# Cross-compiles the Windows build with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64) and runs the results under Wine:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KIVOR_MINGW_TRIPLE x86_64-w64-mingw32)
# The -posix threading variant: GoogleTest needs std::mutex and friends,
# which GCC 12's -win32 variant does not provide.
set(CMAKE_C_COMPILER ${KIVOR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KIVOR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KIVOR_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KIVOR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static C, C++ and threading runtimes: kivor.exe needs only system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(KIVOR_WINE wine)
if(KIVOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KIVOR_WINE})
endif()
