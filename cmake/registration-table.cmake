# Reads Lorvane's registration table (lorvane/registry_entries.txt) for the
# two writers that share it: the server's build, which compiles the entries
# DllRegisterServer writes, and the Windows Installer packages, which write
# every entry as a plain registry value.
include_guard(GLOBAL)

# lorvane_registration_entries(TABLE OUT): OUT is the list of the table's
# entries, each "writer|key|name|text" ("@" naming a key's default value).
# Fails on a line that is not an entry, so a mistyped one is never dropped.
function(lorvane_registration_entries table out)
  file(STRINGS ${table} lines)
  set(entries)
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*(#|$)")
      continue()
    endif()
    if(NOT line MATCHES "^(server|typelib)[ \t]+([^ \t]+)[ \t]+([^ \t]+)[ \t]+(.+)$")
      message(FATAL_ERROR "${table}: not a registry entry: ${line}")
    endif()
    string(STRIP "${CMAKE_MATCH_4}" text)
    list(APPEND entries "${CMAKE_MATCH_1}|${CMAKE_MATCH_2}|${CMAKE_MATCH_3}|${text}")
  endforeach()
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()

# lorvane_identifiers(IDL PREFIX): PREFIX_CLSID, PREFIX_IID and PREFIX_LIBID,
# the identifiers lorvane.idl gives the class List, the interface _List and
# the library, braced and in capitals as the registry writes them.
function(lorvane_identifiers idl prefix)
  file(READ ${idl} text)
  foreach(kind IN ITEMS CLSID:coclass IID:interface LIBID:library)
    string(REPLACE ":" ";" kind "${kind}")
    list(GET kind 0 field)
    list(GET kind 1 keyword)
    # The attribute block right in front of the declaration, which holds no
    # brace.
    if(NOT text MATCHES "uuid\\(([0-9A-Fa-f-]+)\\)[^{]*${keyword} [A-Za-z_]+")
      message(FATAL_ERROR "${idl}: no uuid for the ${keyword}")
    endif()
    string(TOUPPER "{${CMAKE_MATCH_1}}" guid)
    set(${prefix}_${field} "${guid}" PARENT_SCOPE)
  endforeach()
endfunction()

# lorvane_write_server_header(TABLE HEADER): writes the C++ header with the
# entries DllRegisterServer writes itself; the file keeps its time when its
# text stays the same, so nothing recompiles for nothing.
function(lorvane_write_server_header table header)
  lorvane_registration_entries(${table} entries)
  set(rows "")
  foreach(entry IN LISTS entries)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 writer)
    if(NOT writer STREQUAL "server")
      continue()
    endif()
    list(GET fields 1 key)
    list(GET fields 2 name)
    list(GET fields 3 value)
    foreach(field IN ITEMS key name value)
      string(REPLACE "\\" "\\\\" ${field} "${${field}}")
      string(REPLACE "\"" "\\\"" ${field} "${${field}}")
    endforeach()
    if(name STREQUAL "@")
      set(name nullptr)
    else()
      set(name "L\"${name}\"")
    endif()
    string(APPEND rows "    {L\"${key}\", ${name}, L\"${value}\"},\n")
  endforeach()
  file(RELATIVE_PATH source ${CMAKE_SOURCE_DIR} ${table})
  file(WRITE ${header}.new
"// Generated from ${source} by cmake/registration-table.cmake: edit the table.
#pragma once

namespace lorvane {

struct RegistryEntry {
  const wchar_t* key;
  const wchar_t* name;  // nullptr: the key's default value
  const wchar_t* text;
};

inline constexpr RegistryEntry kServerEntries[] = {
${rows}};

}  // namespace lorvane
")
  configure_file(${header}.new ${header} COPYONLY)
  file(REMOVE ${header}.new)
endfunction()
