#include "output_name.h"

#include <string_view>

namespace rowsift {
namespace {

using Char = std::filesystem::path::value_type;
using Text = std::basic_string_view<Char>;

Char AsciiLower(Char c) { return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c; }

// Whether `text` ends with `suffix` (lower-case ASCII) in any letter case.
bool EndsWithIgnoreCase(Text text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  text.remove_prefix(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (AsciiLower(text[i]) != static_cast<Char>(suffix[i])) return false;
  }
  return true;
}

}  // namespace

std::optional<std::filesystem::path> ProposeOutputName(const std::filesystem::path& inputPath) {
  const Text input = inputPath.native();
  for (std::string_view extension : {std::string_view(".htm"), std::string_view(".html")}) {
    if (EndsWithIgnoreCase(input, extension)) {
      std::filesystem::path::string_type proposal(input.substr(0, input.size() - extension.size()));
      for (char c : std::string_view("_Output")) proposal += static_cast<Char>(c);
      for (char c : extension) proposal += static_cast<Char>(c);
      return std::filesystem::path(std::move(proposal));
    }
  }
  return std::nullopt;
}

bool HasHtmlExtension(const std::filesystem::path& path) {
  return EndsWithIgnoreCase(path.native(), ".htm") || EndsWithIgnoreCase(path.native(), ".html");
}

}  // namespace rowsift
