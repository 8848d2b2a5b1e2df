# Cross-building for 64-bit Windows with the MinGW-w64 compilers of the posix
# thread model (std::thread and std::mutex work with it).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PELORINE_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PELORINE_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PELORINE_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${PELORINE_MINGW}-windres)

# Libraries and headers for the target come from the MinGW tree and from the
# prefix scripts/build-windows.sh installs the cross-built LZO and GoogleTest
# into; programs come from the build machine.
get_filename_component(PELORINE_WINDOWS_PREFIX ${CMAKE_CURRENT_LIST_DIR}/../build-windows/prefix ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH /usr/${PELORINE_MINGW} ${PELORINE_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One executable needing no DLLs: the C and C++ runtimes and winpthreads
# linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
