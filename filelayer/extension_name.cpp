#include "file_system.h"

namespace filelayer {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The last component of a path: what follows its last separator, ignoring
// separators at the very end ("C:\dir.x\" names "dir.x"). A drive colon
// ("C:file.txt") needs no handling: no dot can come before it.
std::string_view LastComponent(std::string_view path) {
  while (!path.empty() && IsSeparator(path.back())) path.remove_suffix(1);
  const std::size_t separator = path.find_last_of("\\/");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

}  // namespace

std::string GetExtensionName(std::string_view path) {
  const std::string_view component = LastComponent(path);
  const std::size_t dot = component.rfind('.');
  if (dot == std::string_view::npos) return {};
  return std::string(component.substr(dot + 1));
}

}  // namespace filelayer
