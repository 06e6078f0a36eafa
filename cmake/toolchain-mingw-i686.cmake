# Cross build of the Windows deliverables: 32-bit, MinGW-w64, posix thread model
# (GoogleTest needs std::mutex), static runtime so the binaries import only
# system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KIT_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# SSE2, as every Windows since 8 requires and MSVC assumes for 32-bit code.
set(CMAKE_C_FLAGS_INIT "-msse2")
set(CMAKE_CXX_FLAGS_INIT "-msse2")
