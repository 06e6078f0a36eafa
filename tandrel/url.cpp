// URL check family: whether a URL opens, through the system's Internet
// services, or as a local file for a file URL.
#include <string>
#include <vector>

#include "conventions.h"
#include "error_handling.h"
#include "tandrel.h"
#include "unique_internet.h"
#include "unique_resource.h"

namespace tandrel {
namespace {

constexpr DWORD kCanonicalUrlChars = 2084;
// Always from the server, never kept in the cache.
constexpr DWORD kOpenUrlFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_TRANSFER_ASCII;

// The URL as the browser would write it; empty when it cannot be.
std::string CanonicalUrl(const char* url) {
  std::vector<char> buffer(kCanonicalUrlChars);
  DWORD length = static_cast<DWORD>(buffer.size());
  if (::InternetCanonicalizeUrlA(url, buffer.data(), &length, ICU_BROWSER_MODE))
    return buffer.data();
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
  buffer.assign(length + 1, '\0');  // the size it asked for
  length = static_cast<DWORD>(buffer.size());
  if (!::InternetCanonicalizeUrlA(url, buffer.data(), &length, ICU_BROWSER_MODE)) return {};
  return buffer.data();
}

// The local path a file URL names, its escapes decoded: the canonical form
// writes a space as "%20", which no file name on disk holds. Nothing for any
// other URL, or for a text that is no URL.
bool LocalPathOf(const char* url, std::string& path) {
  const std::string canonical = CanonicalUrl(url);
  if (canonical.empty()) return false;
  std::vector<char> scheme(canonical.size() + 1), urlPath(canonical.size() + 1);
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszScheme = scheme.data();
  parts.dwSchemeLength = static_cast<DWORD>(scheme.size());
  parts.lpszUrlPath = urlPath.data();
  parts.dwUrlPathLength = static_cast<DWORD>(urlPath.size());
  if (!::InternetCrackUrlA(canonical.c_str(), 0, ICU_DECODE, &parts) ||
      parts.nScheme != INTERNET_SCHEME_FILE)
    return false;
  path = urlPath.data();
  return true;
}

bool Opens(const char* url) {
  // Without an Internet handle no web URL opens; file URLs still do.
  const kit::unique_hinternet internet(
      ::InternetOpenA(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  std::string path;
  if (LocalPathOf(url, path)) {
    // Closed at once, so the caller may change or delete the file next.
    const kit::unique_file file(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
  }
  // Any answer from the server counts, whatever its status.
  const kit::unique_hinternet opened(
      ::InternetOpenUrlA(internet.get(), url, nullptr, 0, kOpenUrlFlags, 1));
  return opened.valid();
}

}  // namespace
}  // namespace tandrel

TANDREL_EXPORT web_complex_url_valid(const char* url) noexcept {
  // Without memory for the URL's copies it cannot be opened.
  return kit::CatchReturn(1, [&] { return tandrel::Opens(url) ? 0 : 1; });
}
