cmake_minimum_required(VERSION 3.25)
# Runs one script under the Wine script host with Lorvane.dll registered in
# the test prefix, and unregisters it afterwards. cscript exits 0 even when
# the script dies, so the script's own success line is required.
# -DWINE_RUN=... -DPREFIX=... -DBITS=... -DDLL=... -DSCRIPT=... -DSUCCESS=...
# [-DDRIVER=... -DDRIVER_ARGS=...]: a program run beside the script, playing
# the person who answers its dialog; it must succeed too.
include(${CMAKE_CURRENT_LIST_DIR}/windows_path.cmake)
windows_path("${DLL}" dll)
# VBScript tests share their check helpers: the prelude goes in front.
get_filename_component(script_name "${SCRIPT}" NAME)
if(SCRIPT MATCHES "\\.vbs$")
  get_filename_component(tests "${CMAKE_CURRENT_LIST_FILE}" DIRECTORY)
  file(READ "${tests}/prelude.vbs" prelude)
  file(READ "${SCRIPT}" body)
  set(combined "${CMAKE_CURRENT_BINARY_DIR}/${script_name}")
  file(WRITE "${combined}" "${prelude}${body}")
  windows_path("${combined}" script)
else()
  windows_path("${SCRIPT}" script)
endif()
set(wine ${WINE_RUN} ${PREFIX} ${BITS})

execute_process(COMMAND ${wine} regsvr32 /s ${dll} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "regsvr32 could not register ${dll} (${rc})")
endif()
set(driver_command)
if(DEFINED DRIVER)
  windows_path("${DRIVER}" driver)
  # Both commands of one execute_process run at the same time.
  set(driver_command COMMAND ${wine} ${driver} ${DRIVER_ARGS})
endif()
execute_process(${driver_command} COMMAND ${wine} cscript //nologo ${script}
                OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULTS_VARIABLE results)
list(REMOVE_DUPLICATES results)
set(rc ${results})
execute_process(COMMAND ${wine} regsvr32 /s /u ${dll} RESULT_VARIABLE unregistered)
message("${output}")
string(FIND "${output}" "${SUCCESS}" at)
if(NOT rc EQUAL 0 OR at EQUAL -1 OR output MATCHES "FAIL")
  message(FATAL_ERROR "the script did not finish cleanly (exit ${rc})\n${errors}")
endif()
if(NOT unregistered EQUAL 0)
  message(FATAL_ERROR "regsvr32 could not unregister ${dll} (${unregistered})")
endif()
