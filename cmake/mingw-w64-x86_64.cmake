# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds for 64-bit Windows with Debian's mingw-w64 compilers (x86_64-w64-mingw32, win32 thread model:
# no std::thread or std::mutex there, the Windows API is used directly).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLMERE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLMERE_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${QUILLMERE_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${QUILLMERE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLMERE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own runtime (libgcc, libstdc++, winpthread when pulled in) is linked into every binary, so a
# plug-in DLL or program imports only system libraries: KERNEL32 and the C runtime.
set(QUILLMERE_MINGW_STATIC_RUNTIME "-static-libgcc -static-libstdc++ -static")
# The linker leaves the PE header's time stamp at 0, so that two builds of the same sources are byte-identical.
set(QUILLMERE_MINGW_LINKER_FLAGS "${QUILLMERE_MINGW_STATIC_RUNTIME} -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${QUILLMERE_MINGW_LINKER_FLAGS}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${QUILLMERE_MINGW_LINKER_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${QUILLMERE_MINGW_LINKER_FLAGS}")
# Release builds carry no symbol tables.
set(CMAKE_SHARED_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_MODULE_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
