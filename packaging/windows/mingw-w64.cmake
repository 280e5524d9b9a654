# Cross-building for 64-bit Windows with Debian's mingw-w64 (POSIX threads),
# for the static Qt and for Kestrum alike. Test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

# KESTRUM_WINDOWS_QT: the static Qt for Windows that static-qt.sh made.
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${KESTRUM_WINDOWS_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Stack canaries in every function that keeps an array or takes a local's
# address, in the static Qt and in Kestrum alike; the link takes GCC's libssp
# from its static archive, so no libssp-0.dll is needed.
set(CMAKE_C_FLAGS_INIT "-fstack-protector-strong")
set(CMAKE_CXX_FLAGS_INIT "-fstack-protector-strong")
# Each function and each object in a section of its own, so that the link
# (--gc-sections) can leave out what nothing refers to.
string(APPEND CMAKE_C_FLAGS_INIT " -ffunction-sections -fdata-sections")
string(APPEND CMAKE_CXX_FLAGS_INIT " -ffunction-sections -fdata-sections")

# One self-contained executable: the C and C++ runtimes and winpthreads are
# linked in, so only Windows' own DLLs are needed.
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static -static-libgcc -static-libstdc++ -fstack-protector-strong -Wl,--gc-sections")

find_program(KESTRUM_WINE NAMES wine)
if(KESTRUM_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTRUM_WINE})
endif()
