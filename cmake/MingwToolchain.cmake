# Cross-build for Windows with mingw-w64, shared by the per-target toolchain
# files (which set QUARNEL_MINGW_TRIPLE). The win32 thread model keeps the
# runtime's imports within what Windows XP has: the posix model's libstdc++
# imports GetTickCount64 (Vista and later). The programs are single-threaded.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 5.1)
set(CMAKE_C_COMPILER ${QUARNEL_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${QUARNEL_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${QUARNEL_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${QUARNEL_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${QUARNEL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows XP is the oldest target; statically linked, nothing to ship beside
# the executable.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0501 -DWINVER=0x0501")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0501 -DWINVER=0x0501")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs run under wine, in a wine prefix inside the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
