#include "loaders.h"

#include <windows.h>

#include <oleauto.h>

#include <exception>
#include <utility>
#include <vector>

#include "unique_com.h"

namespace lorvane {
namespace {

using filelayer::FolderEntry;
using filelayer::LocalDateTime;

enum class Listing { kSubFolders, kFiles };

// Upper case as the user's locale writes it.
std::wstring Upper(std::wstring text) {
  if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The entries that passed so far, in enumeration order.
class Passed {
 public:
  // Moves the entry's texts: each entry passes at most once.
  void Add(FolderEntry& entry) {
    entries_.push_back({std::move(entry.name), std::move(entry.path)});
  }
  [[nodiscard]] const std::vector<ListEntry>& Entries() const noexcept { return entries_; }
  void Reserve(std::size_t count) { entries_.reserve(count); }

 private:
  std::vector<ListEntry> entries_;
};

// Common frame, steps 3 to 5: list the folder, append every entry that
// `passes` lets through, all at once. A folder that cannot be listed changes
// nothing.
template <typename Filter>
LoadOutcome Enumerate(const LoaderSeams& seams, const filelayer::Path& folder, Listing listing,
                      filelayer::EntryDates dates, Filter passes) {
  std::vector<FolderEntry> entries;
  try {
    entries = listing == Listing::kFiles ? seams.fso->Files(folder, dates)
                                         : seams.fso->SubFolders(folder, dates);
  } catch (const std::exception&) {
    return LoadOutcome::kUnlisted;
  }
  Passed passed;
  passed.Reserve(entries.size());
  for (FolderEntry& entry : entries) {
    // A step that fails skips its entry, in both lists; the others still load.
    try {
      passes(entry, passed);
    } catch (const std::exception&) {
    }
  }
  seams.append(passed.Entries());
  return LoadOutcome::kLoaded;
}

bool DateMatches(const LoaderSeams& seams, const LocalDateTime& moment, const std::wstring& date) {
  const std::optional<std::wstring> text = seams.dateText(moment);
  return text && *text == date;
}

// The check shared by all five: the folder must exist.
bool FolderMissing(const LoaderSeams& seams, const filelayer::Path& folder,
                   const wchar_t* message) {
  if (seams.fso->FolderExists(folder)) return false;
  seams.tell(message);
  return true;
}

LoadOutcome LoadAll(const LoaderSeams& seams, const std::wstring& folder, Listing listing,
                    const wchar_t* missing) {
  const filelayer::Path path(folder);
  if (FolderMissing(seams, path, missing)) return LoadOutcome::kRefused;
  return Enumerate(seams, path, listing, filelayer::EntryDates::kLeftOut,
                   [](FolderEntry& entry, Passed& passed) { passed.Add(entry); });
}

}  // namespace

std::optional<std::wstring> LocaleDateText(const LocalDateTime& moment) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(moment.year);
  time.wMonth = static_cast<WORD>(moment.month);
  time.wDay = static_cast<WORD>(moment.day);
  time.wHour = static_cast<WORD>(moment.hour);
  time.wMinute = static_cast<WORD>(moment.minute);
  time.wSecond = static_cast<WORD>(moment.second);
  DATE date = 0;
  if (!::SystemTimeToVariantTime(&time, &date)) return std::nullopt;
  // The date alone, as the locale writes it. Cutting the date and time text
  // at its first space would cut short dates that hold spaces themselves
  // ("yyyy. MM. dd."), which no date text could then match.
  kit::unique_bstr text;
  if (FAILED(::VarBstrFromDate(date, LOCALE_USER_DEFAULT, VAR_DATEVALUEONLY, text.put())))
    return std::nullopt;
  return std::wstring(text.get(), ::SysStringLen(text.get()));
}

LoadOutcome LoadFolderList(const LoaderSeams& seams, const std::wstring& folder) {
  return LoadAll(seams, folder, Listing::kSubFolders, L"Error. LoadFolderList. No such folder.");
}

LoadOutcome LoadFileList(const LoaderSeams& seams, const std::wstring& folder) {
  return LoadAll(seams, folder, Listing::kFiles, L"Error. LoadFileList. No such folder.");
}

LoadOutcome LoadFilesWithExt(const LoaderSeams& seams, const std::wstring& folder,
                             const std::wstring& extension) {
  const filelayer::Path path(folder);
  if (FolderMissing(seams, path, L"Error. LoadFilesWithExt. No such folder."))
    return LoadOutcome::kRefused;
  if (extension.empty()) {
    seams.tell(L"Error. LoadFilesWithExt. Extension argument required.");
    return LoadOutcome::kRefused;
  }
  const std::wstring wanted = Upper(extension);
  return Enumerate(seams, path, Listing::kFiles, filelayer::EntryDates::kLeftOut,
                   [&](FolderEntry& entry, Passed& passed) {
                     if (Upper(filelayer::GetExtensionName(entry.path)) == wanted)
                       passed.Add(entry);
                   });
}

LoadOutcome LoadFilesOfDate(const LoaderSeams& seams, const std::wstring& folder,
                            const std::wstring& date, bool created, bool modified) {
  if (!created && !modified) {
    seams.tell(L"Error. LoadFilesOfDate. Neither created nor modified was set in function call.");
    return LoadOutcome::kRefused;
  }
  const filelayer::Path path(folder);
  if (FolderMissing(seams, path, L"Error. LoadFilesOfDate. No such folder."))
    return LoadOutcome::kRefused;
  return Enumerate(seams, path, Listing::kFiles, filelayer::EntryDates::kRead,
                   [&](FolderEntry& entry, Passed& passed) {
                     // A file whose both dates match is added once.
                     bool added = false;
                     if (created && DateMatches(seams, entry.dateCreated, date)) {
                       added = true;
                       passed.Add(entry);
                     }
                     if (!added && modified && DateMatches(seams, entry.dateLastModified, date))
                       passed.Add(entry);
                   });
}

LoadOutcome LoadFoldersOfDate(const LoaderSeams& seams, const std::wstring& folder,
                              const std::wstring& date) {
  const filelayer::Path path(folder);
  if (FolderMissing(seams, path, L"Error. LoadFoldersOfDate. No such folder."))
    return LoadOutcome::kRefused;
  return Enumerate(seams, path, Listing::kSubFolders, filelayer::EntryDates::kRead,
                   [&](FolderEntry& entry, Passed& passed) {
                     if (DateMatches(seams, entry.dateCreated, date)) passed.Add(entry);
                   });
}

}  // namespace lorvane
