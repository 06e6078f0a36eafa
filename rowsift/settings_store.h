// The per-user store where the program keeps its texts between runs,
// addressed by application name, section and key.
#pragma once

#include <memory>
#include <string>

namespace rowsift {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // The stored text; empty when the key or the value is missing.
  virtual std::string Read(const std::string& app, const std::string& section,
                           const std::string& key) const = 0;
  // Failures are ignored: the program has nobody to tell when it closes.
  virtual void Write(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& value) = 0;
};

// On Windows: text values under HKEY_CURRENT_USER\Software\<app>\<section>.
std::unique_ptr<SettingsStore> MakeUserSettingsStore();

}  // namespace rowsift
