// Pixel read-back family: a window's pixels recorded in a reference file of
// 32-bit colour values, or counted where they differ from such a file.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>

#include "conventions.h"
#include "error_handling.h"
#include "pixel_reader.h"
#include "tandrel.h"
#include "unique_resource.h"

namespace tandrel {
namespace {

constexpr int kCompare = 0;
constexpr int kRecord = 1;
// Colours read and written at a time (256 KB, some 34 rows of a full-HD
// screen): small pieces reuse memory already mapped, where fresh megabytes
// cost more than the copy itself, and a full-HD area is still read in a few
// tens of milliseconds.
constexpr std::int64_t kPiecePixels = std::int64_t{1} << 16;

static_assert(sizeof(COLORREF) == 4, "one 4-byte value per pixel in the reference file");

// Pixels of a window DC, x from left and y from top onwards.
struct Area {
  HDC dc;
  int left;
  int top;
  std::int64_t columns;
  std::int64_t rows;
  std::int64_t points;  // columns × rows; 0 when either is not positive
};

// The points of an area; none when there are more than a compare result can
// count (INT_MAX): such an area is refused whole, rather than recorded until
// the disk is full.
std::optional<std::int64_t> PointCount(std::int64_t columns, std::int64_t rows) {
  if (columns <= 0 || rows <= 0) return 0;
  if (columns > INT_MAX / rows) return std::nullopt;
  return columns * rows;
}

// The answer for an area that cannot be read: in compare mode every point
// counts as differing, as many as the result holds; otherwise 0.
int CannotRead(int mode, std::optional<std::int64_t> points) {
  if (mode != kCompare) return 0;
  return static_cast<int>(std::min<std::int64_t>(points.value_or(INT_MAX), INT_MAX));
}

// Reads the area in file order, a piece of at most kPiecePixels at a time
// (whole rows, or parts of one row when a row alone is longer), and hands
// each piece to `take(colours, count)`, which answers false to stop. False
// when there is no memory for a piece.
template <typename Take>
bool ReadInPieces(const Area& area, Take take) {
  if (area.points == 0) return true;
  const std::int64_t pieceColumns = std::min(area.columns, kPiecePixels);
  const std::int64_t pieceRows =
      std::min(area.rows, std::max<std::int64_t>(1, kPiecePixels / area.columns));
  const std::unique_ptr<COLORREF[]> colours(
      new (std::nothrow) COLORREF[static_cast<std::size_t>(pieceColumns * pieceRows)]);
  if (!colours) return false;
  const PixelReader reader(area.dc);
  for (std::int64_t row = 0; row < area.rows; row += pieceRows) {
    const std::int64_t rows = std::min(pieceRows, area.rows - row);
    for (std::int64_t column = 0; column < area.columns; column += pieceColumns) {
      const std::int64_t columns = std::min(pieceColumns, area.columns - column);
      reader.Read(static_cast<int>(area.left + column), static_cast<int>(area.top + row),
                  static_cast<int>(columns), static_cast<int>(rows), colours.get());
      if (!take(colours.get(), static_cast<std::size_t>(columns * rows))) return true;
    }
  }
  return true;
}

// Nothing is reported, whatever fails.
void Record(const Area& area, const char* fileName) {
  const kit::unique_file file(::CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  ReadInPieces(area, [&file](const COLORREF* colours, std::size_t count) {
    const auto bytes = static_cast<DWORD>(count * sizeof *colours);
    DWORD written = 0;
    return ::WriteFile(file.get(), colours, bytes, &written, nullptr) && written == bytes;
  });
}

// Reads up to `count` stored values; answers how many were read whole.
std::size_t ReadStored(HANDLE file, COLORREF* stored, std::size_t count) {
  const auto wanted = static_cast<DWORD>(count * sizeof *stored);
  auto* bytes = reinterpret_cast<BYTE*>(stored);
  DWORD total = 0, read = 0;
  while (total < wanted && ::ReadFile(file, bytes + total, wanted - total, &read, nullptr) &&
         read > 0)
    total += read;
  return total / sizeof *stored;
}

// A pixel whose stored value cannot be read (no file, a file too short)
// counts as differing: a match is reported only where it was checked.
int Compare(const Area& area, const char* fileName) {
  const kit::unique_file file(::CreateFileA(fileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) ::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
  const std::size_t piecePixels = static_cast<std::size_t>(std::min(area.points, kPiecePixels));
  const std::unique_ptr<COLORREF[]> stored(new (std::nothrow) COLORREF[piecePixels]);
  std::int64_t differing = 0;
  const auto countDiffering = [&](const COLORREF* colours, std::size_t count) {
    const std::size_t readable = file ? ReadStored(file.get(), stored.get(), count) : 0;
    for (std::size_t i = 0; i < readable; ++i) differing += stored[i] != colours[i];
    differing += static_cast<std::int64_t>(count - readable);
    return true;
  };
  if (!stored || !ReadInPieces(area, countDiffering)) return CannotRead(kCompare, area.points);
  return static_cast<int>(std::min<std::int64_t>(differing, INT_MAX));
}

int ReadBack(const Area& area, int mode, const char* fileName) {
  if (mode == kRecord) Record(area, fileName);
  return mode == kCompare ? Compare(area, fileName) : 0;
}

}  // namespace
}  // namespace tandrel

TANDREL_EXPORT get_bmp_area(int window, int left, int top, int right, int bottom, int mode,
                            const char* fileName) noexcept {
  const std::int64_t columns = std::int64_t{right} - left + 1;
  const std::int64_t rows = std::int64_t{bottom} - top + 1;
  const std::optional<std::int64_t> points = tandrel::PointCount(columns, rows);
  return kit::CatchReturn(tandrel::CannotRead(mode, points), [&] {
    if (mode != tandrel::kRecord && mode != tandrel::kCompare) return 0;
    // Refused whole: no file is touched.
    if (!points) return tandrel::CannotRead(mode, points);
    const kit::unique_window_dc dc = kit::GetWindowDcOf(tandrel::WindowOf(window));
    const tandrel::Area area = {dc.get().dc, left, top, columns, rows, *points};
    return tandrel::ReadBack(area, mode, fileName);
  });
}

TANDREL_EXPORT get_bmp(int window, int mode, const char* fileName) noexcept {
  // An area not even measured cannot be read.
  return kit::CatchReturn(tandrel::CannotRead(mode, std::nullopt), [&] {
    if (mode != tandrel::kRecord && mode != tandrel::kCompare) return 0;
    // One column and one row past the window's edges: they read as outside it.
    // A handle that names no window leaves the rectangle empty: one point.
    RECT rect = {};
    ::GetWindowRect(tandrel::WindowOf(window), &rect);
    return get_bmp_area(window, 0, 0, rect.right - rect.left, rect.bottom - rect.top, mode,
                        fileName);
  });
}
