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
// The caption of labfol: the folder of the last load.
HRESULT SetFolderLabel(const std::wstring& folder);

// The display texts of box1; false when the list cannot be read.
[[nodiscard]] bool DisplayTexts(std::vector<std::wstring>& texts);
[[nodiscard]] const std::wstring& SelectedItem();

// Registers the window class of flist; called once per process.
[[nodiscard]] bool RegisterDialogClass(HINSTANCE module);
void UnregisterDialogClass(HINSTANCE module);

}  // namespace lorvane
