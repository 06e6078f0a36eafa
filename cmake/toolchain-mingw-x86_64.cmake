# The same sources built for x86-64. Used to run the Windows tests under wine64
# on machines whose kernel cannot execute 32-bit programs (and so no wine32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KIT_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
