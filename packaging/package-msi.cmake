cmake_minimum_required(VERSION 3.25)
# Builds a Windows Installer package of the kit with wixl (Debian's msitools):
#   ARCH x64: for 64-bit Windows, the 64-bit kit under Program Files and the
#             32-bit kit under Program Files (x86), both Lorvane servers
#             registered, each in the registry view of its bitness;
#   ARCH x86: for 32-bit Windows, the 32-bit kit and its registration.
# The package is per machine and silent-capable, its version the kit's, its
# upgrade code fixed: a newer version replaces an older one, an older one is
# refused. Lorvane's registration comes from the table DllRegisterServer is
# built from (lorvane/registry_entries.txt), written as plain registry values:
# no custom action, no self-registration. The folder of the machine's own
# bitness goes on the system PATH while the kit is installed.
# -DSOURCE_DIR=... -DKITS=... (win32/ and win64/ as `cmake --install` leaves
# them) -DARCH=x64|x86 -DSTAGE=... (a scratch folder) -DOUT=....msi
# [-DVERSION=...] (the file VERSION's, unless given)
include(${SOURCE_DIR}/cmake/registration-table.cmake)
if(NOT DEFINED VERSION)
  file(STRINGS ${SOURCE_DIR}/VERSION VERSION LIMIT_COUNT 1)
endif()
find_program(WIXL wixl REQUIRED)
find_program(MSIBUILD msibuild REQUIRED)

set(product "Test automation kit")
set(folder "Test automation kit")
# Fixed for good: Windows Installer finds the installed kit by it.
set(upgrade_code "{3F7A2C51-8E0D-4B96-A1C4-7D2E9B05F618}")
# Every other identifier is derived from it, the same at every build: the
# product code from the version, so a package installed again is recognised,
# and each component's from its name.
function(derived_guid name out)
  string(UUID guid NAMESPACE 3F7A2C51-8E0D-4B96-A1C4-7D2E9B05F618 NAME "${name}" TYPE SHA1 UPPER)
  set(${out} "{${guid}}" PARENT_SCOPE)
endfunction()
derived_guid("product ${ARCH} ${VERSION}" product_code)

function(xml_escaped text out)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  string(REPLACE "\"" "&quot;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The registry entries of the Lorvane.dll of BITS bits, filled in for its
# file and folder. Keys below CLSID and Interface are redirected per bitness
# on 64-bit Windows; the others (the ProgID, the type library) are shared by
# both views, and a second server writes there only what the first did not,
# as RegisterTypeLib leaves the help folder an earlier registration wrote.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
lorvane_registration_entries(${SOURCE_DIR}/lorvane/registry_entries.txt entries)
lorvane_identifiers(${SOURCE_DIR}/lorvane/lorvane.idl lorvane)
set(shared_written)
function(lorvane_registry bits out)
  set(xml "")
  foreach(entry IN LISTS entries)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 1 key)
    list(GET fields 2 name)
    list(GET fields 3 text)
    foreach(field IN ITEMS key text)
      string(REPLACE "{CLSID}" "${lorvane_CLSID}" ${field} "${${field}}")
      string(REPLACE "{IID}" "${lorvane_IID}" ${field} "${${field}}")
      string(REPLACE "{LIBID}" "${lorvane_LIBID}" ${field} "${${field}}")
      string(REPLACE "{SERVER}" "[#Lorvanedll${bits}]" ${field} "${${field}}")
      string(REPLACE "{FOLDER}" "[KitFolder${bits}]" ${field} "${${field}}")
      string(REPLACE "{PLATFORM}" "win${bits}" ${field} "${${field}}")
    endforeach()
    if(NOT key MATCHES "^(CLSID|Interface)\\\\")
      if("${key}|${name}" IN_LIST shared_written)
        continue()
      endif()
      list(APPEND shared_written "${key}|${name}")
    endif()
    set(name_attribute "")
    if(NOT name STREQUAL "@")
      set(name_attribute " Name=\"${name}\"")
    endif()
    xml_escaped("${text}" text)
    string(APPEND xml "            <RegistryValue Root=\"HKLM\" Key=\"Software\\Classes\\${key}\""
                      "${name_attribute} Type=\"string\" Value=\"${text}\"/>\n")
  endforeach()
  set(shared_written "${shared_written}" PARENT_SCOPE)
  set(${out} "${xml}" PARENT_SCOPE)
endfunction()

# One component per file, its key path: the kit of BITS bits, and where
# EXTRAS says so, tandrel.h and the README.
function(kit_folder bits extras out)
  set(win64 "")
  if(bits EQUAL 64)
    set(win64 " Win64=\"yes\"")
  endif()
  set(files Rowsift.exe rowsift-cli.exe Tandrel.dll Lorvane.dll)
  if(extras)
    list(APPEND files tandrel.h README.txt)
  endif()
  set(xml "")
  foreach(file IN LISTS files)
    string(REGEX REPLACE "[^A-Za-z]" "" id "${file}")
    set(id "${id}${bits}")
    # wixl takes sources relative to its folder: the package's files are
    # copied into the stage.
    set(source win${bits}/${file})
    if(file STREQUAL "README.txt")
      set(source README.txt)
    elseif(EXISTS ${KITS}/${source})
      file(COPY ${KITS}/${source} DESTINATION ${STAGE}/win${bits})
    else()
      message(FATAL_ERROR "${KITS}/${source} is missing: install the win${bits} build first")
    endif()
    derived_guid("component ${ARCH} ${id}" guid)
    string(APPEND xml "          <Component Id=\"${id}\" Guid=\"${guid}\"${win64}>\n"
                      "            <File Id=\"${id}\" Name=\"${file}\" Source=\"${source}\" KeyPath=\"yes\"/>\n")
    if(file STREQUAL "Lorvane.dll")
      lorvane_registry(${bits} registry)
      string(APPEND xml "${registry}")
    endif()
    string(APPEND xml "          </Component>\n")
  endforeach()
  set(shared_written "${shared_written}" PARENT_SCOPE)
  set(${out} "${xml}" PARENT_SCOPE)
endfunction()

set(KIT_VERSION ${VERSION})
# Notepad on older Windows shows only CR LF line breaks.
configure_file(${SOURCE_DIR}/docs/windows-readme.txt ${STAGE}/README.txt @ONLY NEWLINE_STYLE CRLF)

if(ARCH STREQUAL "x64")
  set(native 64)
  kit_folder(64 ON folder64)
  kit_folder(32 OFF folder32)
  set(directories
"      <Directory Id=\"ProgramFiles64Folder\">
        <Directory Id=\"KitFolder64\" Name=\"${folder}\">
${folder64}        </Directory>
      </Directory>
      <Directory Id=\"ProgramFilesFolder\">
        <Directory Id=\"KitFolder32\" Name=\"${folder}\">
${folder32}        </Directory>
      </Directory>")
  set(launch_condition "")
  set(platform "64-bit Windows")
elseif(ARCH STREQUAL "x86")
  set(native 32)
  kit_folder(32 ON folder32)
  set(directories
"      <Directory Id=\"ProgramFilesFolder\">
        <Directory Id=\"KitFolder32\" Name=\"${folder}\">
${folder32}        </Directory>
      </Directory>")
  # Installed on 64-bit Windows it would leave the 64-bit script hosts
  # without a server.
  set(launch_condition
"    <Condition Message=\"This package is for 32-bit Windows. On 64-bit Windows install kit-${VERSION}-x64.msi.\">NOT VersionNT64</Condition>\n")
  set(platform "32-bit Windows")
else()
  message(FATAL_ERROR "ARCH must be x64 or x86, not '${ARCH}'")
endif()

# The components in the order of the directories, for the one feature.
string(REGEX MATCHALL "<Component Id=\"[A-Za-z0-9]+\"" components "${directories}")
set(references "")
foreach(component IN LISTS components)
  string(REGEX REPLACE ".*Id=\"([A-Za-z0-9]+)\"" "\\1" id "${component}")
  string(APPEND references "      <ComponentRef Id=\"${id}\"/>\n")
endforeach()

set(wxs ${STAGE}/kit.wxs)
file(WRITE ${wxs}
"<?xml version=\"1.0\" encoding=\"utf-8\"?>
<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">
  <Product Id=\"${product_code}\" Name=\"${product}\" Language=\"1033\" Version=\"${VERSION}\"
           Manufacturer=\"${product}\" UpgradeCode=\"${upgrade_code}\">
    <Package InstallerVersion=\"500\" Compressed=\"yes\" InstallScope=\"perMachine\"
             Description=\"${product} ${VERSION} for ${platform}\"/>
    <MajorUpgrade DowngradeErrorMessage=\"A newer version of the ${product} is already installed.\"/>
    <Media Id=\"1\" Cabinet=\"kit.cab\" EmbedCab=\"yes\"/>
    <!-- One feature: Apps & features offers removal, nothing to modify. -->
    <Property Id=\"ARPNOMODIFY\" Value=\"1\"/>
${launch_condition}    <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">
${directories}
    </Directory>
    <Feature Id=\"Kit\" Title=\"${product}\" Level=\"1\">
${references}    </Feature>
  </Product>
</Wix>
")

execute_process(COMMAND ${WIXL} -a ${ARCH} -o ${OUT}.new ${wxs} WORKING_DIRECTORY ${STAGE}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "wixl could not build ${OUT} from ${wxs}")
endif()

# wixl has no Environment element: the table goes in afterwards, with the
# two standard actions that write and remove its entries. "=-*PATH" with
# "[~];..." appends the folder to the system PATH on install and takes just
# that part off again on removal.
set(environment_table
    "CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)")
set(path_entry
    "INSERT INTO `Environment` (`Environment`, `Name`, `Value`, `Component_`) VALUES ('KitFolderOnPath', '=-*PATH', '[~];[KitFolder${native}]', 'rowsiftcliexe${native}')")
set(sequence "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES")
execute_process(COMMAND ${MSIBUILD} ${OUT}.new -q "${environment_table}" -q "${path_entry}"
                        -q "${sequence} ('RemoveEnvironmentStrings', 3300)"
                        -q "${sequence} ('WriteEnvironmentStrings', 5200)"
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "msibuild could not add the Environment table to ${OUT}")
endif()
file(RENAME ${OUT}.new ${OUT})
file(SIZE ${OUT} bytes)
message(STATUS "${OUT}: ${bytes} bytes")
