# windows_path(UNIX_PATH OUT): the path as Wine's Z: drive names it.
function(windows_path unix out)
  string(REPLACE "/" "\\" path "${unix}")
  set(${out} "Z:${path}" PARENT_SCOPE)
endfunction()
