#include "output_name.h"

#include "text_search.h"

namespace rowsift {
namespace {

// An extension's bytes are always characters of their own: its dot can
// never be the second byte of a character, nor can the letters after it.
bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

std::optional<std::string> ProposeOutputName(std::string_view inputPath) {
  for (std::string_view extension : {std::string_view(".htm"), std::string_view(".html")}) {
    if (EndsWithIgnoreCase(inputPath, extension)) {
      std::string proposal(inputPath.substr(0, inputPath.size() - extension.size()));
      proposal += "_Output";
      proposal += extension;
      return proposal;
    }
  }
  return std::nullopt;
}

bool HasHtmlExtension(std::string_view path) {
  return EndsWithIgnoreCase(path, ".htm") || EndsWithIgnoreCase(path, ".html");
}

bool SamePathText(std::string_view a, std::string_view b, const CharacterSet& characters) {
  return FilterPattern(b, characters).EqualsIgnoringCase(a);
}

}  // namespace rowsift
