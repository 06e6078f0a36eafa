cmake_minimum_required(VERSION 3.25)
# One package's life on a machine, in a scratch copy of the suite's Wine
# prefix: installed silently; used with no regsvr32 (Lorvane.List through the
# script host of each bitness that runs here, Tandrel.dll loaded from the
# install folder, rowsift-cli found on the PATH); its registry entries
# compared with those regsvr32 writes for the installed servers; removed,
# after which nothing of the kit is left and PATH is as before. Then an
# older version installed and upgraded by this one (one product left, the
# new files in place), the older one refused over it, and the removal again.
# -DSOURCE_DIR=... -DWINE_RUN=... -DPREFIX=... (to copy: the suite's for x64, a
# 32-bit Windows for x86) -DARCH=x64|x86
# -DKIT=... (the build of the package's own bitness) [-DPEER_KIT=...] (the
# 32-bit build, for x64) -DPROBE=... (tandrel_probe.exe of KIT) [-DPEER_PROBE=...]
# (the 32-bit one, where 32-bit programs run) -DWORK=... (a scratch folder)
include(${SOURCE_DIR}/cmake/registration-table.cmake)
include(${SOURCE_DIR}/lorvane/tests/windows_path.cmake)
file(STRINGS ${SOURCE_DIR}/VERSION version LIMIT_COUNT 1)
lorvane_identifiers(${SOURCE_DIR}/lorvane/lorvane.idl lorvane)

if(ARCH STREQUAL "x64")
  set(bits 64)
  set(views 64 32)
else()
  set(bits 32)
  set(views 32)
endif()
set(scratch ${WORK}/prefix)
set(wine ${WINE_RUN} ${scratch} ${bits})
if(bits EQUAL 64)
  set(wineserver /usr/lib/wine/wineserver64)
else()
  set(wineserver wineserver)
endif()
set(reg "C:\\windows\\system32\\reg.exe")
set(folder "C:\\Program Files\\Test automation kit")
set(folder_x86 "C:\\Program Files (x86)\\Test automation kit")
set(unix_folders "${scratch}/drive_c/Program Files/Test automation kit")
if(ARCH STREQUAL "x64")
  list(APPEND unix_folders "${scratch}/drive_c/Program Files (x86)/Test automation kit")
endif()
set(environment "HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment")
set(uninstall "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall")
set(our_keys "CLSID\\${lorvane_CLSID}" "Lorvane.List" "Interface\\${lorvane_IID}"
             "TypeLib\\${lorvane_LIBID}")

# What failed so far, each on a line of its own.
set(failures "")

# stop(MESSAGE): ends the test, taking the scratch prefix along; it fails
# with MESSAGE, or with the failures so far.
function(stop message)
  execute_process(COMMAND env WINEPREFIX=${scratch} ${wineserver} -k OUTPUT_QUIET ERROR_QUIET)
  file(REMOVE_RECURSE ${scratch})
  if(message)
    string(APPEND failures "\n${message}")
  endif()
  if(failures)
    message(FATAL_ERROR "${failures}")
  endif()
endfunction()

# run(OUT_RC OUT_TEXT COMMAND...): a Windows command in the scratch prefix.
function(run out_rc out_text)
  execute_process(COMMAND ${wine} ${ARGN} OUTPUT_VARIABLE text ERROR_VARIABLE errors
                  RESULT_VARIABLE rc)
  string(REPLACE "\r" "" text "${text}")
  set(${out_rc} ${rc} PARENT_SCOPE)
  set(${out_text} "${text}" PARENT_SCOPE)
endfunction()

function(msiexec verb package expect)
  windows_path(${package} path)
  run(rc text msiexec ${verb} ${path} /qn)
  if(expect STREQUAL "succeeds" AND NOT rc EQUAL 0)
    stop("msiexec ${verb} ${package} failed (${rc})")
  elseif(expect STREQUAL "fails" AND rc EQUAL 0)
    stop("msiexec ${verb} ${package} should have been refused")
  endif()
endfunction()

# registry(OUT): every key of ours below the machine's classes, in each view,
# as reg.exe lists them ("none" for a missing one).
function(registry out)
  set(listing "")
  foreach(view IN LISTS views)
    foreach(key IN LISTS our_keys)
      run(rc text ${reg} query "HKLM\\Software\\Classes\\${key}" /s /reg:${view})
      if(NOT rc EQUAL 0)
        set(text "none\n")
      endif()
      string(APPEND listing "[${view}-bit view] ${key}\n${text}")
    endforeach()
  endforeach()
  set(${out} "${listing}" PARENT_SCOPE)
endfunction()

function(delete_our_keys)
  foreach(view IN LISTS views)
    foreach(key IN LISTS our_keys)
      run(rc text ${reg} delete "HKLM\\Software\\Classes\\${key}" /f /reg:${view})
    endforeach()
  endforeach()
endfunction()

# kit_products(OUT): the versions of the kit in Apps & features, one each.
function(kit_products out)
  run(rc text ${reg} query ${uninstall} /s)
  string(REGEX MATCHALL
         "DisplayName +REG_SZ +Test automation kit\n[^\n]*DisplayVersion +REG_SZ +[0-9.]+"
         found "${text}")
  set(versions)
  foreach(product IN LISTS found)
    string(REGEX REPLACE ".* ([0-9.]+)$" "\\1" product_version "${product}")
    list(APPEND versions ${product_version})
  endforeach()
  # A product listed without its version still counts.
  string(REGEX MATCHALL "DisplayName +REG_SZ +Test automation kit" names "${text}")
  list(LENGTH names named)
  list(LENGTH versions counted)
  if(NOT named EQUAL counted)
    list(APPEND versions "(no version)")
  endif()
  set(${out} "${versions}" PARENT_SCOPE)
endfunction()

# expect_products(VERSIONS WHEN): Apps & features lists exactly VERSIONS.
function(expect_products expected when)
  kit_products(products)
  if(NOT products STREQUAL expected)
    stop("${when}, Apps & features lists: ${products}")
  endif()
endfunction()

function(system_path out)
  run(rc text ${reg} query ${environment} /v PATH)
  string(REGEX REPLACE ".*PATH +REG_[A-Z_]+ +([^\n]*).*" "\\1" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# ---- The packages: this version and an older one ---------------------------
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${KIT} --prefix ${WORK}/kits/win${bits}
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
if(ARCH STREQUAL "x64")
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${PEER_KIT} --prefix ${WORK}/kits/win32
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endif()
string(REPLACE "." ";" parts "${version}")
list(GET parts 0 major)
list(GET parts 1 minor)
list(GET parts 2 patch)
if(patch GREATER 0)
  math(EXPR patch "${patch} - 1")
elseif(minor GREATER 0)
  math(EXPR minor "${minor} - 1")
else()
  math(EXPR major "${major} - 1")
endif()
set(older "${major}.${minor}.${patch}")
foreach(package IN ITEMS new:${version} old:${older})
  string(REPLACE ":" ";" package "${package}")
  list(GET package 0 name)
  list(GET package 1 package_version)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SOURCE_DIR} -DKITS=${WORK}/kits
                          -DARCH=${ARCH} -DSTAGE=${WORK}/stage-${name} -DVERSION=${package_version}
                          -DOUT=${WORK}/kit-${name}.msi -P ${SOURCE_DIR}/packaging/package-msi.cmake
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# ---- A machine of its own --------------------------------------------------
if(ARCH STREQUAL "x86" AND NOT EXISTS ${PREFIX}/.kit-configured)
  # A 32-bit Windows, made once (tools/common.sh makes it while the code
  # compiles).
  execute_process(COMMAND env WINEARCH=win32 ${SOURCE_DIR}/tools/wine-session.sh ${PREFIX} 32 true
                  INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
endif()
# The prefix as it stands (the suite's other tests may go on in it), without
# any registration of ours a test of Lorvane's may have left there.
execute_process(COMMAND cp -a ${PREFIX} ${scratch} ERROR_QUIET)
if(NOT EXISTS ${scratch}/system.reg)
  stop("could not make the prefix ${scratch}")
endif()
# One server for the prefix the whole test long, not one per command, and
# Wine's background processes started apart from the commands' output, which
# they would otherwise hold open.
execute_process(COMMAND env WINEPREFIX=${scratch} ${wineserver} -p
                INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
execute_process(COMMAND ${wine} wineboot
                INPUT_FILE /dev/null OUTPUT_FILE /dev/null ERROR_FILE /dev/null)
delete_our_keys()
system_path(path_before)

# ---- A fresh install -------------------------------------------------------
msiexec(/i ${WORK}/kit-new.msi succeeds)
expect_products("${version}" "after installing ${version}")

# ---- The kit in use, with no regsvr32 --------------------------------------
set(hosts "${bits}|${folder}")
if(ARCH STREQUAL "x64" AND PEER_PROBE)
  list(APPEND hosts "32|${folder_x86}")
endif()
windows_path(${SOURCE_DIR}/lorvane/tests/side_by_side.js script)
foreach(host IN LISTS hosts)
  string(REPLACE "|" ";" host "${host}")
  list(GET host 0 host_bits)
  list(GET host 1 host_folder)
  execute_process(COMMAND ${WINE_RUN} ${scratch} ${host_bits} cscript //nologo ${script}
                  OUTPUT_VARIABLE output ERROR_QUIET)
  string(STRIP "${output}" output)
  message("${host_bits}-bit host: ${output}")
  string(REPLACE "\\" "\\\\" server "${host_folder}\\Lorvane.dll")
  string(REPLACE "(" "\\(" server "${server}")
  string(REPLACE ")" "\\)" server "${server}")
  if(NOT output MATCHES "host: created from \\[${server}\\]: picked$")
    string(APPEND failures "\nthe ${host_bits}-bit script host did not use the installed Lorvane")
  endif()
  if(host_bits EQUAL bits)
    set(probe ${PROBE})
  else()
    set(probe ${PEER_PROBE})
  endif()
  windows_path(${probe} probe)
  execute_process(COMMAND ${WINE_RUN} ${scratch} ${host_bits} ${probe} ${host_folder}
                  OUTPUT_VARIABLE output RESULT_VARIABLE rc)
  message("${host_bits}-bit Tandrel: ${output}")
  if(NOT rc EQUAL 0)
    string(APPEND failures "\nthe installed ${host_bits}-bit Tandrel.dll did not answer")
  endif()
endforeach()
# A new prompt finds rowsift-cli on the PATH.
run(rc output cmd /c rowsift-cli --help)
if(NOT rc EQUAL 0 OR NOT output MATCHES "--filter")
  string(APPEND failures "\nrowsift-cli does not run from a prompt (${rc}): ${output}")
endif()

# ---- The registration, compared with regsvr32's ----------------------------
registry(installed)
delete_our_keys()
set(servers "${bits}|${folder}")
if(ARCH STREQUAL "x64")
  list(APPEND servers "32|${folder_x86}")
endif()
foreach(server IN LISTS servers)
  string(REPLACE "|" ";" server "${server}")
  list(GET server 0 server_bits)
  list(GET server 1 server_folder)
  if(server_bits EQUAL 32 AND ARCH STREQUAL "x64" AND NOT PEER_PROBE)
    continue()  # no 32-bit regsvr32 here: its entries are not compared
  endif()
  execute_process(COMMAND ${WINE_RUN} ${scratch} ${server_bits} regsvr32 /s
                          "${server_folder}\\Lorvane.dll" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    stop("regsvr32 of the installed ${server_bits}-bit Lorvane.dll failed (${rc})")
  endif()
endforeach()
registry(registered)
if(ARCH STREQUAL "x64" AND NOT PEER_PROBE)
  # Only the 64-bit server was registered: what it wrote alone is compared.
  foreach(listing IN ITEMS installed registered)
    string(REGEX REPLACE "\\[32-bit view\\].*" "" ${listing} "${${listing}}")
    string(REGEX REPLACE "HKEY_[^\n]*\\\\0\\\\win32\n[^\n]*\n\n" "" ${listing} "${${listing}}")
  endforeach()
endif()
# Windows Installer names a folder with a closing backslash; RegisterTypeLib
# names the type library's help folder without one. The same folder.
string(REPLACE "HELPDIR\n    (Default)    REG_SZ    ${folder}\\\n"
               "HELPDIR\n    (Default)    REG_SZ    ${folder}\n" installed "${installed}")
if(NOT installed STREQUAL registered)
  file(WRITE ${WORK}/installed.txt "${installed}")
  file(WRITE ${WORK}/registered.txt "${registered}")
  string(APPEND failures "\nthe package's registry entries differ from regsvr32's: "
                         "compare ${WORK}/installed.txt and ${WORK}/registered.txt")
endif()

# ---- Removal ---------------------------------------------------------------
# expect_removed(WHEN): nothing of the kit is left and PATH is as it was.
function(expect_removed when)
  msiexec(/x ${WORK}/kit-new.msi succeeds)
  kit_products(products)
  if(products)
    string(APPEND failures "\n${when}, Apps & features lists: ${products}")
  endif()
  foreach(unix_folder IN LISTS unix_folders)
    if(EXISTS "${unix_folder}")
      string(APPEND failures "\n${when}, ${unix_folder} is left")
    endif()
  endforeach()
  registry(left)
  string(REGEX REPLACE "\\[[0-9]+-bit view\\] [^\n]*\nnone\n" "" left "${left}")
  if(left)
    string(APPEND failures "\n${when}, keys of ours are left:\n${left}")
  endif()
  system_path(path_after)
  # Wine's installer takes the folder off the PATH but leaves its separator
  # (one for each version it removed); Windows takes both.
  string(REGEX REPLACE ";+$" "" path_after_under_wine "${path_after}")
  if(NOT path_after STREQUAL path_before AND NOT path_after_under_wine STREQUAL path_before)
    string(APPEND failures "\n${when}, PATH is '${path_after}', not '${path_before}'")
  endif()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()
expect_removed("after the removal")

# ---- Upgrade, then removal -------------------------------------------------
msiexec(/i ${WORK}/kit-old.msi succeeds)
expect_products("${older}" "after installing ${older}")
msiexec(/i ${WORK}/kit-new.msi succeeds)
expect_products("${version}" "after the upgrade from ${older} to ${version}")
file(READ "${scratch}/drive_c/Program Files/Test automation kit/README.txt" readme)
if(NOT readme MATCHES "\nVersion ${version}[^.0-9]")
  stop("the upgrade left the README of another version in place")
endif()
msiexec(/i ${WORK}/kit-old.msi fails)
expect_products("${version}" "after refusing ${older} over ${version}")

expect_removed("after the upgrade's removal")

stop("")
message("the ${ARCH} package installs, upgrades, registers as regsvr32 does and leaves nothing")
