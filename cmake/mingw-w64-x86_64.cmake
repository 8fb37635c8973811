# Cross-build for 64-bit Windows with MinGW-w64 on Debian. The posix-threads
# compiler is required: the win32 one has no std::mutex, and GoogleTest needs it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC 12's libstdc++ for MinGW trips a false -Wrestrict inside
# std::string::insert (GCC bug 105329) in the shared INI code.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")

# Static C++ runtime and threads: the .exe must run alone beside the game.
# Without it, it needs libstdc++-6.dll, libgcc_s_seh-1.dll and
# libwinpthread-1.dll, and Wine ends it at once with code 53.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# A release .exe carries no symbols: it is copied beside the game as it is.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# Tests run under Wine, through a wrapper that keeps ctest from waiting on
# Wine's background processes; the prefix lives in the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run;${CMAKE_BINARY_DIR}/wineprefix")
