cmake_minimum_required(VERSION 3.25)
# Reads both packages back with msiinfo (Debian's msitools): the product
# version is the kit's, the upgrade code the fixed one, the platform the
# package's, PATH is extended by an Environment entry, and nothing runs code
# of a DLL: no self-registration, no custom action of a DLL.
# -DSOURCE_DIR=... -DKIT64=... -DKIT32=... (the two builds) -DWORK=... (scratch)
file(STRINGS ${SOURCE_DIR}/VERSION version LIMIT_COUNT 1)
find_program(MSIINFO msiinfo REQUIRED)
set(upgrade_code "{3F7A2C51-8E0D-4B96-A1C4-7D2E9B05F618}")

file(REMOVE_RECURSE ${WORK})
foreach(bits IN ITEMS 64 32)
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${KIT${bits}} --prefix ${WORK}/kits/win${bits}
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# msiinfo(OUT ARGS...): what msiinfo prints.
function(msiinfo out)
  execute_process(COMMAND ${MSIINFO} ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "msiinfo ${ARGN} failed")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# expect_match(TEXT REGEX WHAT): WHAT is noted of this package unless TEXT
# matches REGEX.
function(expect_match text regex what)
  if(NOT text MATCHES "${regex}")
    set(failures "${failures}\n${arch}: ${what}" PARENT_SCOPE)
  endif()
endfunction()

set(failures "")
foreach(arch IN ITEMS x64 x86)
  set(msi ${WORK}/kit-${arch}.msi)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${SOURCE_DIR} -DKITS=${WORK}/kits
                          -DARCH=${arch} -DSTAGE=${WORK}/stage-${arch} -DOUT=${msi}
                          -P ${SOURCE_DIR}/packaging/package-msi.cmake
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  msiinfo(tables tables ${msi})
  message("${arch} tables: ${tables}")
  foreach(table IN ITEMS File Component Registry Upgrade Environment)
    if(NOT tables MATCHES "(^|\n)${table}\n")
      string(APPEND failures "\n${arch}: no ${table} table")
    endif()
  endforeach()
  if(tables MATCHES "(^|\n)(SelfReg|TypeLib|Class|ProgId)\n")
    string(APPEND failures "\n${arch}: registers through the ${CMAKE_MATCH_2} table")
  endif()

  msiinfo(properties export ${msi} Property)
  expect_match("${properties}" "\nProductVersion\t${version}\n"
               "the product version is not ${version}")
  expect_match("${properties}" "\nUpgradeCode\t${upgrade_code}\n"
               "the upgrade code is not ${upgrade_code}")
  expect_match("${properties}" "\nALLUSERS\t1\n" "not a per-machine package")

  msiinfo(summary suminfo ${msi})
  if(arch STREQUAL "x64")
    set(template "x64;1033")
  else()
    set(template "Intel;1033")
  endif()
  expect_match("${summary}" "\nTemplate: ${template}\n" "the platform is not ${template}")

  msiinfo(environment export ${msi} Environment)
  expect_match("${environment}" "\t=-\\*PATH\t\\[~\\];\\[KitFolder"
               "PATH is not extended on install and restored on removal")

  # An action of type 1 (in its low three bits) calls a DLL, from the Binary
  # table or an installed file.
  msiinfo(actions export ${msi} CustomAction)
  string(REGEX MATCHALL "\n[A-Za-z_.]+\t[0-9]+\t" rows "${actions}")
  foreach(row IN LISTS rows)
    string(REGEX REPLACE ".*\t([0-9]+)\t" "\\1" type "${row}")
    math(EXPR kind "${type} & 7")
    if(kind EQUAL 1)
      string(STRIP "${row}" row)
      string(APPEND failures "\n${arch}: custom action runs a DLL: ${row}")
    endif()
  endforeach()
  msiinfo(sequence export ${msi} InstallExecuteSequence)
  if(sequence MATCHES "\nSelfReg")
    string(APPEND failures "\n${arch}: the sequence self-registers")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message("both packages: version ${version}, upgrade code ${upgrade_code}, no DLL runs")
