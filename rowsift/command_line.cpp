#include "command_line.h"

#include "text_search.h"

namespace rowsift {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string_view ArgumentText(std::string_view commandLine) {
  std::size_t position = 0;
  bool inQuotes = false;
  while (position < commandLine.size() && (inQuotes || !IsBlank(commandLine[position]))) {
    if (commandLine[position] == '"') inQuotes = !inQuotes;
    ++position;
  }
  while (position < commandLine.size() && IsBlank(commandLine[position])) ++position;
  return commandLine.substr(position);
}

bool IsDebugSwitch(std::string_view argumentText) {
  return EqualsIgnoreCase(argumentText, "-debug");
}

std::string ProgramName(std::string_view modulePath) {
  const std::size_t folderEnd = modulePath.find_last_of("\\/:");
  std::string_view name =
      folderEnd == std::string_view::npos ? modulePath : modulePath.substr(folderEnd + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

}  // namespace rowsift
