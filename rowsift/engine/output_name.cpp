#include "output_name.h"

#include "text_search.h"

namespace rowsift {
namespace {

bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
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

}  // namespace rowsift
