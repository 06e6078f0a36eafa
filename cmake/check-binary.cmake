cmake_minimum_required(VERSION 3.25)
# Fails unless BINARY is what the kit ships for its build: a PE image of the
# expected kind (FORMAT: PE32 or PE32+), importing only DLLs that ship with
# Windows, and carrying the kit's version (VERSION, as a.b.c) in its version
# resource.
# -DOBJDUMP=... -DWINDRES=... -DBINARY=... -DFORMAT=... -DVERSION=...
set(system_dlls
    kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll
    oleaut32.dll comctl32.dll comdlg32.dll shlwapi.dll wininet.dll
    imagehlp.dll dbghelp.dll version.dll msvcrt.dll)
execute_process(COMMAND ${OBJDUMP} -p ${BINARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} failed on ${BINARY}")
endif()

if(NOT dump MATCHES "\nMagic[ \t]+[0-9a-fA-F]+[ \t]+\\((PE32\\+?)\\)")
  message(FATAL_ERROR "${BINARY}: no optional header magic found")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL FORMAT)
  message(FATAL_ERROR "${BINARY} is ${CMAKE_MATCH_1}, not ${FORMAT}")
endif()
message(STATUS "format ${FORMAT}")

string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "${BINARY}: no import table found")
endif()
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: *" "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls)
    message(FATAL_ERROR "${BINARY} imports ${dll}, which is not a system DLL")
  endif()
  message(STATUS "imports ${dll}")
endforeach()

execute_process(COMMAND ${WINDRES} -i ${BINARY} -J coff -O rc
                OUTPUT_VARIABLE resources RESULT_VARIABLE rc ERROR_QUIET)
string(REPLACE "." ", " expected "${VERSION}")
if(NOT rc EQUAL 0 OR NOT resources MATCHES "PRODUCTVERSION ${expected}, 0\n"
   OR NOT resources MATCHES "VALUE \"FileVersion\", \"${VERSION}.0\"")
  message(FATAL_ERROR "${BINARY} carries no version resource of version ${VERSION}")
endif()
message(STATUS "version ${VERSION}")
