// The per-user store where the program keeps its texts between runs,
// addressed by application name, section and key. The texts are the window's
// own, in UTF-16.
#pragma once

#include <memory>
#include <string>

namespace rowsift {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // The stored text; empty when the key or the value is missing.
  [[nodiscard]] virtual std::wstring Read(const std::wstring& app, const std::wstring& section,
                                          const std::wstring& key) const = 0;
  // Failures are ignored: the program has nobody to tell when it closes.
  virtual void Write(const std::wstring& app, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) = 0;
};

// On Windows: text values under HKEY_CURRENT_USER\Software\<app>\<section>.
// Values that earlier versions wrote in the system code page read as the
// same texts: the registry keeps every text value in Unicode.
[[nodiscard]] std::unique_ptr<SettingsStore> MakeUserSettingsStore();

}  // namespace rowsift
