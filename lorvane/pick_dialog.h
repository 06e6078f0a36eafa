// The per-thread dialog flist and the stored selection sSelItem, shared by
// every List object of the thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace lorvane {

// Creates flist hidden and empty unless this thread already has it.
HRESULT LoadDialog();
[[nodiscard]] bool DialogLoaded();
// Destroys flist with its contents; sSelItem stays.
void UnloadDialog();

HRESULT ShowDialog();
HRESULT HideDialog();
HRESULT ClearDialog();
HRESULT AppendEntry(const std::wstring& display, const std::wstring& value);

// One entry of a load: what box1 shows, and what box2 holds for it.
struct ListEntry {
  std::wstring display;
  std::wstring value;
};
// Appends the entries in order, as many AppendEntry calls would; an entry
// that cannot be appended is skipped and the others go on.
HRESULT AppendEntries(const std::vector<ListEntry>& entries);
// The caption of labfol: the folder of the last load.
HRESULT SetFolderLabel(const std::wstring& folder);

// The display texts of box1; false when the list cannot be read.
[[nodiscard]] bool DisplayTexts(std::vector<std::wstring>& texts);
[[nodiscard]] std::wstring SelectedItem();

// The module's life, from DllMain. Attach registers the window class of
// flist and takes the slot of the threads' states; false on failure.
[[nodiscard]] bool AttachDialogs(HINSTANCE module);
// The calling thread ends: its state goes, sSelItem with it.
void EndThreadDialog() noexcept;
// The module is freed: every thread's state goes, and the window class.
void DetachDialogs() noexcept;

}  // namespace lorvane
