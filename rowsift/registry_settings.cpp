#include <windows.h>

#include "settings_store.h"
#include "unique_resource.h"

namespace rowsift {

namespace {

std::string KeyPath(const std::string& app, const std::string& section) {
  return "Software\\" + app + "\\" + section;
}

class RegistrySettings : public SettingsStore {
 public:
  std::string Read(const std::string& app, const std::string& section,
                   const std::string& key) const override {
    kit::unique_hkey settings;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath(app, section).c_str(), 0, KEY_QUERY_VALUE,
                        settings.put()) != ERROR_SUCCESS) {
      return {};
    }
    std::string text;
    DWORD size = 0;
    LONG result = ::RegQueryValueExA(settings.get(), key.c_str(), nullptr, nullptr, nullptr, &size);
    // Another program may change the value between asking its size and reading it.
    while (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
      text.resize(size);
      DWORD type = 0;
      result = ::RegQueryValueExA(settings.get(), key.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(text.data()), &size);
      if (result == ERROR_SUCCESS) {
        if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
        // The stored text may or may not end in a null.
        text.resize(size);
        return text.substr(0, text.find('\0'));
      }
    }
    return {};
  }

  void Write(const std::string& app, const std::string& section, const std::string& key,
             const std::string& value) override {
    kit::unique_hkey settings;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, KeyPath(app, section).c_str(), 0, nullptr, 0,
                          KEY_SET_VALUE, nullptr, settings.put(), nullptr) != ERROR_SUCCESS) {
      return;
    }
    ::RegSetValueExA(settings.get(), key.c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  }
};

}  // namespace

std::unique_ptr<SettingsStore> MakeUserSettingsStore() {
  return std::make_unique<RegistrySettings>();
}

}  // namespace rowsift
