#include "file_system.h"

namespace filelayer {

namespace {

using Char = Path::value_type;

bool IsSeparator(Char c) { return c == '\\' || c == '/'; }

// The last component of a path: what follows its last separator, ignoring
// separators at the very end ("C:\dir.x\" names "dir.x"). A drive colon
// ("C:file.txt") needs no handling: no dot can come before it.
PathView LastComponent(PathView path) {
  while (!path.empty() && IsSeparator(path.back())) path.remove_suffix(1);
  std::size_t separator = path.size();
  while (separator > 0 && !IsSeparator(path[separator - 1])) --separator;
  return path.substr(separator);
}

}  // namespace

PathText GetExtensionName(PathView path) {
  const PathView component = LastComponent(path);
  const std::size_t dot = component.rfind(Char('.'));
  if (dot == PathView::npos) return {};
  return PathText(component.substr(dot + 1));
}

}  // namespace filelayer
