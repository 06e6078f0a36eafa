#include <windows.h>

#include "settings_store.h"
#include "unique_resource.h"

namespace rowsift {

namespace {

std::wstring KeyPath(const std::wstring& app, const std::wstring& section) {
  return L"Software\\" + app + L"\\" + section;
}

class RegistrySettings : public SettingsStore {
 public:
  std::wstring Read(const std::wstring& app, const std::wstring& section,
                    const std::wstring& key) const override {
    kit::unique_hkey settings;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, KeyPath(app, section).c_str(), 0, KEY_QUERY_VALUE,
                        settings.put()) != ERROR_SUCCESS) {
      return {};
    }
    std::wstring text;
    DWORD size = 0;
    LONG result = ::RegQueryValueExW(settings.get(), key.c_str(), nullptr, nullptr, nullptr, &size);
    // Another program may change the value between asking its size and reading it.
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
      // Sizes are in bytes; another program may have stored an odd count.
      text.resize((size + 1) / sizeof(wchar_t));
      size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
      DWORD type = 0;
      result = ::RegQueryValueExW(settings.get(), key.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(text.data()), &size);
      if (result == ERROR_SUCCESS) {
        if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
        // The stored text may or may not end in a null.
        text.resize(size / sizeof(wchar_t));
        return text.substr(0, text.find(L'\0'));
      }
    }
    return {};
  }

  void Write(const std::wstring& app, const std::wstring& section, const std::wstring& key,
             const std::wstring& value) override {
    kit::unique_hkey settings;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, KeyPath(app, section).c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, settings.put(), nullptr) != ERROR_SUCCESS) {
      return;
    }
    ::RegSetValueExW(settings.get(), key.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
};

}  // namespace

std::unique_ptr<SettingsStore> MakeUserSettingsStore() {
  return std::make_unique<RegistrySettings>();
}

}  // namespace rowsift
