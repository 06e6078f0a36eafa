cmake_minimum_required(VERSION 3.25)
# Packs the installed Windows kits (DIST/win32 and DIST/win64) into
# DIST/kit-<version>-windows.zip: win32/ and win64/ with the four binaries
# each, tandrel.h, and README.txt for Windows users.
# -DSOURCE_DIR=... -DDIST=... -DSTAGE=... (an empty folder is made there)
file(STRINGS ${SOURCE_DIR}/VERSION KIT_VERSION LIMIT_COUNT 1)
set(name kit-${KIT_VERSION}-windows)
set(binaries Rowsift.exe rowsift-cli.exe Tandrel.dll Lorvane.dll)

file(REMOVE_RECURSE ${STAGE})
foreach(bits IN ITEMS 32 64)
  foreach(binary IN LISTS binaries)
    set(built ${DIST}/win${bits}/${binary})
    if(NOT EXISTS ${built})
      message(FATAL_ERROR "${built} is missing: install the win${bits} build first")
    endif()
    file(COPY ${built} DESTINATION ${STAGE}/win${bits})
    file(SIZE ${built} bytes)
    message(STATUS "win${bits}/${binary}: ${bytes} bytes")
  endforeach()
endforeach()
file(COPY ${DIST}/win32/tandrel.h DESTINATION ${STAGE})
# Notepad on older Windows shows only CR LF line breaks.
configure_file(${SOURCE_DIR}/docs/windows-readme.txt ${STAGE}/README.txt @ONLY NEWLINE_STYLE CRLF)

set(archive ${DIST}/${name}.zip)
file(REMOVE ${archive})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${archive} --format=zip
                        win32 win64 tandrel.h README.txt
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not write ${archive}")
endif()
file(SIZE ${archive} bytes)
message(STATUS "${archive}: ${bytes} bytes")
