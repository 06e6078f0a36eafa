// Registry family: each export is one short sequence of registry calls around
// a caller's request, with every key opened for full access.
#include <algorithm>
#include <cstring>

#include "conventions.h"
#include "error_handling.h"
#include "tandrel.h"
#include "unique_resource.h"

namespace tandrel {
namespace {

constexpr DWORD kValueBufferBytes = 256;
constexpr DWORD kSubkeyNameChars = 256;
constexpr DWORD kValueNameChars = 1024;

// The root key of a root index; any value out of range means HKEY_CLASSES_ROOT.
HKEY RootKeyFromIndex(int index) {
  static const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,     HKEY_LOCAL_MACHINE,
                                HKEY_USERS,        HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG,
                                HKEY_DYN_DATA};
  return index >= 0 && index < 7 ? kRoots[index] : HKEY_CLASSES_ROOT;
}

// A key that could not be opened stays null, so the calls that follow fail
// with the platform's invalid-handle error, which some exports report.
kit::unique_hkey OpenKey(int root, const char* keyPath) {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(RootKeyFromIndex(root), keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    key = nullptr;
  return kit::unique_hkey(key);
}

// Copies at most `limit` bytes of `text`, stopping at its terminator, and
// terminates the copy (registry text need not be terminated); returns its
// end, where the next piece goes.
char* AppendText(char* out, const char* text, std::size_t limit) {
  const void* end = std::memchr(text, '\0', limit);
  const std::size_t length = end ? static_cast<const char*>(end) - text : limit;
  std::memcpy(out, text, length);
  out[length] = '\0';
  return out + length;
}

}  // namespace
}  // namespace tandrel

TANDREL_EXPORT create_reg_value(int root, const char* keyPath, const char* valueName,
                                const char* valueText, int numberFlag) noexcept {
  return kit::CatchReturn(1, [&] {
    HKEY created = nullptr;
    const LONG create =
        ::RegCreateKeyExA(tandrel::RootKeyFromIndex(root), keyPath, 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &created, nullptr);
    const kit::unique_hkey key(create == ERROR_SUCCESS ? created : nullptr);
    // The write is made even without a key: it then fails, and so does the call.
    LONG write;
    if (numberFlag != 0) {
      const DWORD number = static_cast<DWORD>(tandrel::ReadLong(valueText));
      write = ::RegSetValueExA(key.get(), valueName, 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&number), sizeof number);
    } else {
      write = ::RegSetValueExA(key.get(), valueName, 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(valueText),
                               static_cast<DWORD>(std::strlen(valueText) + 1));
    }
    return create == ERROR_SUCCESS && write == ERROR_SUCCESS ? 0 : 1;
  });
}

TANDREL_EXPORT get_reg_value(int root, const char* keyPath, const char* valueName,
                             char* out) noexcept {
  return kit::CatchReturn<int>(ERROR_NOT_ENOUGH_MEMORY, [&] {
    // Zeroed so that data shorter than a number reads as zero, not as garbage.
    BYTE data[tandrel::kValueBufferBytes] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof data;
    const kit::unique_hkey key = tandrel::OpenKey(root, keyPath);
    const LONG read = ::RegQueryValueExA(key.get(), valueName, nullptr, &type, data, &size);
    if (read != ERROR_SUCCESS) {
      out[0] = '\0';
    } else if (type == REG_SZ) {
      // 255 characters at most: a value that fills the whole buffer may lack
      // its terminator.
      tandrel::AppendText(out, reinterpret_cast<const char*>(data),
                          std::min<DWORD>(size, sizeof data - 1));
    } else if (type == REG_DWORD) {
      std::int32_t number;
      std::memcpy(&number, data, sizeof number);
      tandrel::WriteDecimal(out, number);
    } else {
      tandrel::WriteDecimal(out, data[0]);
    }
    return static_cast<int>(read);
  });
}

TANDREL_EXPORT del_reg_value(int root, const char* keyPath, const char* valueName) noexcept {
  return kit::CatchReturn<int>(ERROR_NOT_ENOUGH_MEMORY, [&] {
    return ::RegDeleteValueA(tandrel::OpenKey(root, keyPath).get(), valueName);
  });
}

TANDREL_EXPORT del_reg_key(int root, const char* keyPath) noexcept {
  return kit::CatchReturn<int>(ERROR_NOT_ENOUGH_MEMORY, [&] {
    return ::RegDeleteKeyA(tandrel::RootKeyFromIndex(root), keyPath);
  });
}

TANDREL_EXPORT enum_reg_key(int root, const char* keyPath, char* out) noexcept {
  return kit::CatchReturn<int>(ERROR_NOT_ENOUGH_MEMORY, [&] {
    out[0] = '\0';
    const kit::unique_hkey key = tandrel::OpenKey(root, keyPath);
    DWORD count = 0;
    const LONG query = ::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &count, nullptr,
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (query != ERROR_SUCCESS) return static_cast<int>(query);
    char* end = out;
    for (DWORD index = 0; index < count; ++index) {
      char name[tandrel::kSubkeyNameChars];
      // A subkey deleted meanwhile is left out.
      if (::RegEnumKeyA(key.get(), index, name, sizeof name) != ERROR_SUCCESS) continue;
      end = tandrel::AppendText(end, name, sizeof name);
      end = tandrel::AppendText(end, ";", 1);
    }
    return static_cast<int>(count);
  });
}

TANDREL_EXPORT regenumsubkeys(int root, const char* keyPath, char* out) noexcept {
  return kit::CatchReturn(0, [&] {
    const kit::unique_hkey key = tandrel::OpenKey(root, keyPath);
    out[0] = '\0';
    char* end = out;
    char name[tandrel::kSubkeyNameChars];
    for (DWORD index = 0; ::RegEnumKeyA(key.get(), index, name, sizeof name) == ERROR_SUCCESS;
         ++index) {
      if (index > 0) end = tandrel::AppendText(end, ",", 1);
      end = tandrel::AppendText(end, name, sizeof name);
    }
    return 0;
  });
}

TANDREL_EXPORT reg_key_exists(int root, const char* keyPath, const char* valueName) noexcept {
  return kit::CatchReturn(-1, [&] {
    const kit::unique_hkey key = tandrel::OpenKey(root, keyPath);
    if (valueName[0] == '\0') return key ? 0 : -1;
    char name[tandrel::kValueNameChars];
    for (DWORD index = 0;; ++index) {
      DWORD length = sizeof name;  // replaced by each name's length
      if (::RegEnumValueA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        return -1;
      if (std::strcmp(name, valueName) == 0) return 0;
    }
  });
}
