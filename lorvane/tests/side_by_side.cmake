cmake_minimum_required(VERSION 3.25)
# The 32-bit and the 64-bit Lorvane.dll registered side by side in one
# 64-bit prefix: each script host finds the server of its own bitness, and
# unregistering either server leaves the other working.
# -DWINE_RUN=... -DPREFIX=... -DDLL64=... -DDLL32=... -DSCRIPT=...
include(${CMAKE_CURRENT_LIST_DIR}/windows_path.cmake)
windows_path("${DLL64}" dll64)
windows_path("${DLL32}" dll32)
windows_path("${SCRIPT}" script)
set(failures "")

function(server bits verb)
  set(dll ${dll${bits}})
  set(switches /s)
  if(verb STREQUAL "unregister")
    list(APPEND switches /u)
  endif()
  execute_process(COMMAND ${WINE_RUN} ${PREFIX} ${bits} regsvr32 ${switches} ${dll}
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    set(failures "${failures}\n${bits}-bit regsvr32 could not ${verb} ${dll} (${rc})" PARENT_SCOPE)
  endif()
endfunction()

# expect_host(BITS created|none): what a script host of BITS bits reports.
function(expect_host bits outcome)
  execute_process(COMMAND ${WINE_RUN} ${PREFIX} ${bits} cscript //nologo ${script}
                  OUTPUT_VARIABLE output ERROR_QUIET)
  string(STRIP "${output}" output)
  message("${bits}-bit host: ${output}")
  if(bits EQUAL 64)
    set(host AMD64)
  else()
    set(host x86)
  endif()
  if(outcome STREQUAL "created")
    string(REPLACE "\\" "\\\\" server "${dll${bits}}")
    set(expected "^${host} host: created from \\[${server}\\]: picked$")
  else()
    set(expected "^${host} host: no server$")
  endif()
  if(NOT output MATCHES "${expected}")
    set(failures "${failures}\n${bits}-bit host should report ${outcome}, said: ${output}" PARENT_SCOPE)
  endif()
endfunction()

server(64 register)
server(32 register)
expect_host(64 created)
expect_host(32 created)

server(64 unregister)
expect_host(64 none)
expect_host(32 created)

server(64 register)
server(32 unregister)
expect_host(64 created)
expect_host(32 none)

server(64 unregister)
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
