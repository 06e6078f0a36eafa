// Capture family: a rectangle of the screen saved as a 24-bit bitmap file.
// The picture is taken into a screen-compatible bitmap, turned into one block
// of header and pixel rows, and written behind a bitmap file header.
#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>

#include "conventions.h"
#include "error_handling.h"
#include "tandrel.h"
#include "unique_resource.h"

namespace tandrel {
namespace {

constexpr int kCannotWriteFile = -10007;
constexpr int kCannotMakeImage = -12303;
constexpr WORD kBitmapFileType = 0x4D42;  // "BM"
constexpr DWORD kFileHeaderBytes = 14;
// Room for a LOGPALETTE of 256 entries, of which the system is asked for 255.
constexpr std::size_t kLogPaletteBytes = 1032;
constexpr UINT kSystemPaletteEntriesAsked = 255;

static_assert(sizeof(BITMAPFILEHEADER) == kFileHeaderBytes, "packed file header");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "image block header");

// The block's address, locked until a unique_global_lock of it goes; null
// when it cannot be locked.
BYTE* LockedBytes(HGLOBAL block) { return static_cast<BYTE*>(::GlobalLock(block)); }

// A palette for the conversion when the display works with one: the system
// palette as it stands now. Null on other displays.
kit::unique_hgdiobj SystemPaletteOf(HDC display) {
  if (!(::GetDeviceCaps(display, RASTERCAPS) & RC_PALETTE)) return {};
  alignas(LOGPALETTE) BYTE buffer[kLogPaletteBytes] = {};
  auto* palette = reinterpret_cast<LOGPALETTE*>(buffer);
  palette->palVersion = 0x300;
  palette->palNumEntries = static_cast<WORD>(
      ::GetSystemPaletteEntries(display, 0, kSystemPaletteEntriesAsked, palette->palPalEntry));
  return kit::unique_hgdiobj(::CreatePalette(palette));
}

// A BITMAPINFOHEADER and its pixel rows in one global memory block.
struct ImageBlock {
  kit::unique_hglobal memory;
  DWORD bytes = 0;
  explicit operator bool() const { return memory.valid(); }
};

// The bitmap (selected into no DC) as one block: a BITMAPINFOHEADER and its
// 24-bit bottom-up pixel rows. Null when it cannot be converted.
ImageBlock bitmap_to_dib(HBITMAP bitmap, HPALETTE palette) {
  BITMAP facts = {};
  if (!::GetObjectA(bitmap, sizeof facts, &facts)) return {};
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = facts.bmWidth;
  header.biHeight = facts.bmHeight;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;

  const kit::unique_window_dc screen = kit::GetScreenDc();
  const kit::unique_palette_selection selected = kit::SelectPaletteInto(
      screen.get().dc,
      palette ? palette : static_cast<HPALETTE>(::GetStockObject(DEFAULT_PALETTE)));
  ::RealizePalette(screen.get().dc);

  kit::unique_hglobal block(::GlobalAlloc(GMEM_FIXED, sizeof header));
  if (!block) return {};
  {
    BYTE* const bytes = LockedBytes(block.get());
    if (!bytes) return {};
    const kit::unique_global_lock locked(block.get());
    std::memcpy(bytes, &header, sizeof header);
    // The system completes the header: the image size above all.
    ::GetDIBits(screen.get().dc, bitmap, 0, static_cast<UINT>(header.biHeight), nullptr,
                reinterpret_cast<BITMAPINFO*>(bytes), DIB_RGB_COLORS);
    std::memcpy(&header, bytes, sizeof header);
  }
  std::uint64_t imageBytes = header.biSizeImage;
  if (imageBytes == 0) {
    const std::uint64_t rowBytes =
        (std::uint64_t{header.biBitCount} * static_cast<std::uint32_t>(header.biWidth) + 31) / 32 *
        4;
    imageBytes = rowBytes * static_cast<std::uint32_t>(header.biHeight);
  }
  const std::uint64_t blockBytes = header.biSize + imageBytes;
  if (blockBytes > MAXDWORD - kFileHeaderBytes) return {};  // beyond what a bitmap file holds

  const HGLOBAL grown =
      ::GlobalReAlloc(block.get(), static_cast<SIZE_T>(blockBytes), GMEM_MOVEABLE);
  if (!grown) return {};
  block.release();
  block.reset(grown);

  BYTE* const bytes = LockedBytes(block.get());
  if (!bytes) return {};
  const kit::unique_global_lock locked(block.get());
  if (!::GetDIBits(screen.get().dc, bitmap, 0, static_cast<UINT>(header.biHeight),
                   bytes + header.biSize, reinterpret_cast<BITMAPINFO*>(bytes), DIB_RGB_COLORS))
    return {};
  return {std::move(block), static_cast<DWORD>(blockBytes)};
}

// Writes the block behind a bitmap file header, replacing any file of that
// name: 0, or -10007 when the file cannot be created or written. A file that
// could not be written whole is deleted rather than left half written. The
// handle is not inheritable: a program the host starts meanwhile would keep
// the file open, and locked, for its whole life.
int write_dib_file(const char* fileName, const ImageBlock& block) {
  kit::unique_file file(::CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return kCannotWriteFile;

  const BYTE* const bytes = LockedBytes(block.memory.get());
  if (!bytes) return kCannotWriteFile;
  const kit::unique_global_lock locked(block.memory.get());
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
  const DWORD blockBytes = block.bytes;
  BITMAPFILEHEADER fileHeader = {};
  fileHeader.bfType = kBitmapFileType;
  fileHeader.bfSize = blockBytes + kFileHeaderBytes;
  fileHeader.bfOffBits = header->biSize + kFileHeaderBytes;

  DWORD writtenHeader = 0, writtenBlock = 0;
  const bool whole =
      ::WriteFile(file.get(), &fileHeader, kFileHeaderBytes, &writtenHeader, nullptr) &&
      writtenHeader == kFileHeaderBytes &&
      ::WriteFile(file.get(), bytes, blockBytes, &writtenBlock, nullptr) &&
      writtenBlock == blockBytes;
  file.reset();
  if (whole) return 0;
  ::DeleteFileA(fileName);
  return kCannotWriteFile;
}

int capture_rect_to_file(const char* fileName, const RECT& rect) {
  const std::int64_t wide = std::int64_t{rect.right} - rect.left;
  const std::int64_t high = std::int64_t{rect.bottom} - rect.top;
  // Windows refuses a bitmap of negative size; not every GDI does, so the
  // answer is given here.
  if (wide < 0 || high < 0 || wide > INT_MAX || high > INT_MAX) return kCannotMakeImage;
  const int width = static_cast<int>(wide), height = static_cast<int>(high);

  const kit::unique_hdc display(::CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
  const kit::unique_hdc memory(::CreateCompatibleDC(display.get()));
  const kit::unique_hgdiobj bitmap(::CreateCompatibleBitmap(display.get(), width, height));
  if (!display || !memory || !bitmap) return kCannotMakeImage;
  {
    // The bitmap leaves the memory DC before it is converted.
    const kit::unique_selection selected = kit::SelectInto(memory.get(), bitmap.get());
    if (!selected) return kCannotMakeImage;
    ::BitBlt(memory.get(), 0, 0, width, height, display.get(), rect.left, rect.top, SRCCOPY);
  }
  const kit::unique_hgdiobj palette = SystemPaletteOf(display.get());

  const ImageBlock block =
      bitmap_to_dib(static_cast<HBITMAP>(bitmap.get()), static_cast<HPALETTE>(palette.get()));
  if (!block) return kCannotMakeImage;
  return write_dib_file(fileName, block);
}

}  // namespace
}  // namespace tandrel

TANDREL_EXPORT CaptureAreaToFile(const char* fileName, int left, int top, int right,
                                 int bottom) noexcept {
  return kit::CatchReturn(tandrel::kCannotMakeImage, [&] {
    return tandrel::capture_rect_to_file(fileName, RECT{left, top, right, bottom});
  });
}

TANDREL_EXPORT CaptureBmpToFile(const char* fileName, const char* which) noexcept {
  return kit::CatchReturn(tandrel::kCannotMakeImage, [&] {
    const bool active = std::strcmp(which, "Active") == 0;
    HWND window = active ? ::GetForegroundWindow() : nullptr;
    // With no window in the foreground, the whole screen is captured.
    if (!window) window = ::GetDesktopWindow();
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    return CaptureAreaToFile(fileName, rect.left, rect.top, rect.right, rect.bottom);
  });
}
