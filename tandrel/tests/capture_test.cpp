// The capture exports bound by name, as a script host binds them: the bitmap
// files they write are parsed and their pixels compared with what test
// windows painted on the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "library_binding.h"
#include "screen_test_support.h"
#include "under_wine.h"
#include "unique_resource.h"

namespace {

using kit::testing::Exists;
using kit::testing::ReadBytes;
using kit::testing::ScratchFolder;
using kit::testing::UnderWine;
using kit::testing::WriteBytes;
using tandrel_test::Gradient;
using tandrel_test::PaintedWindow;

constexpr int kCannotWriteFile = -10007;
constexpr int kCannotMakeImage = -12303;

template <typename T>
T Field(const std::string& bytes, std::size_t offset) {
  T value{};
  if (offset + sizeof value <= bytes.size())
    std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

// A bitmap file as written: the header fields checked, pixels read by
// position from the top-left.
struct BitmapFile {
  explicit BitmapFile(const std::string& path) : bytes(ReadBytes(path)) {}

  std::int32_t Width() const { return Field<std::int32_t>(bytes, 18); }
  std::int32_t Height() const { return Field<std::int32_t>(bytes, 22); }
  std::size_t RowBytes() const { return ((24 * static_cast<std::size_t>(Width()) + 31) / 32) * 4; }
  COLORREF Pixel(int x, int y) const {
    const std::size_t at = 54 + (Height() - 1 - y) * RowBytes() + 3 * static_cast<std::size_t>(x);
    return RGB(Field<BYTE>(bytes, at + 2), Field<BYTE>(bytes, at + 1), Field<BYTE>(bytes, at));
  }
  // Every field of both headers as a 24-bit bottom-up bitmap of that size.
  void ExpectLayout(int width, int height) const {
    const std::size_t image = ((24 * static_cast<std::size_t>(width) + 31) / 32) * 4 * height;
    ASSERT_EQ(bytes.size(), 54 + image);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(Field<std::uint32_t>(bytes, 2), 54 + image);
    EXPECT_EQ(Field<std::uint32_t>(bytes, 6), 0u);  // both reserved words
    EXPECT_EQ(Field<std::uint32_t>(bytes, 10), 54u);
    EXPECT_EQ(Field<std::uint32_t>(bytes, 14), 40u);
    EXPECT_EQ(Width(), width);
    EXPECT_EQ(Height(), height);
    EXPECT_EQ(Field<std::uint16_t>(bytes, 26), 1);
    EXPECT_EQ(Field<std::uint16_t>(bytes, 28), 24);
    EXPECT_EQ(Field<std::uint32_t>(bytes, 30), 0u);
    EXPECT_EQ(Field<std::uint32_t>(bytes, 34), image);
    for (std::size_t offset = 38; offset < 54; offset += 4)
      EXPECT_EQ(Field<std::uint32_t>(bytes, offset), 0u) << offset;
  }

  std::string bytes;
};

class Capture : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(captureArea_ && captureWindow_); }

  static int ScreenWidth() { return ::GetSystemMetrics(SM_CXSCREEN); }
  static int ScreenHeight() { return ::GetSystemMetrics(SM_CYSCREEN); }

  const kit::unique_hmodule library_{::LoadLibraryA("Tandrel.dll")};
  const decltype(&::CaptureAreaToFile) captureArea_ =
      TANDREL_BIND(library_.get(), CaptureAreaToFile);
  const decltype(&::CaptureBmpToFile) captureWindow_ =
      TANDREL_BIND(library_.get(), CaptureBmpToFile);
  const ScratchFolder scratch_;
};

TEST_F(Capture, SmallRectanglesGiveTheExactFileLayout) {
  const std::string file = scratch_ / "small.bmp";
  ASSERT_EQ(captureArea_(file.c_str(), 0, 0, 10, 5), 0);
  const BitmapFile small(file);
  small.ExpectLayout(10, 5);
  EXPECT_EQ(small.bytes.size(), 214u);  // 14 + 40 + 32 × 5

  ASSERT_EQ(captureArea_(file.c_str(), 7, 3, 8, 9), 0);
  const BitmapFile narrow(file);
  narrow.ExpectLayout(1, 6);
  EXPECT_EQ(narrow.RowBytes(), 4u);  // three colour bytes and one filler

  // The system makes a bitmap without width or height 1 × 1.
  ASSERT_EQ(captureArea_(file.c_str(), 5, 5, 5, 15), 0);
  BitmapFile(file).ExpectLayout(1, 1);
}

TEST_F(Capture, PixelsAreWhatTheWindowPainted) {
  const PaintedWindow window({100, 80, 400, 280}, WS_POPUP, Gradient);
  const std::string file = scratch_ / "area.bmp";
  // An odd width, so every row carries filler bytes.
  ASSERT_EQ(captureArea_(file.c_str(), 117, 95, 117 + 37, 95 + 21), 0);
  const BitmapFile picture(file);
  picture.ExpectLayout(37, 21);
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 37; ++x)
      ASSERT_EQ(picture.Pixel(x, y), Gradient(x + 17, y + 15)) << x << "," << y;
}

TEST_F(Capture, ActiveIsTheForegroundWindowFrameIncludedAnyOtherTextTheScreen) {
  const PaintedWindow window({60, 50, 60 + 240, 50 + 170}, WS_OVERLAPPEDWINDOW, Gradient);
  ::SetForegroundWindow(window.get());
  tandrel_test::Settle();
  ASSERT_EQ(::GetForegroundWindow(), window.get());
  RECT outer;
  ::GetWindowRect(window.get(), &outer);
  POINT client = {0, 0};
  ::ClientToScreen(window.get(), &client);

  const std::string active = scratch_ / "active.bmp";
  ASSERT_EQ(captureWindow_(active.c_str(), "Active"), 0);
  const BitmapFile picture(active);
  picture.ExpectLayout(outer.right - outer.left, outer.bottom - outer.top);
  const int dx = client.x - outer.left, dy = client.y - outer.top;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(picture.Pixel(dx + x, dy + y), Gradient(x, y));

  for (const char* which : {"active", "", "ACTIVE", "Active "}) {
    const std::string screen = scratch_ / "screen.bmp";
    ASSERT_EQ(captureWindow_(screen.c_str(), which), 0) << which;
    const BitmapFile whole(screen);
    whole.ExpectLayout(ScreenWidth(), ScreenHeight());
    EXPECT_EQ(whole.Pixel(client.x + 5, client.y + 7), Gradient(5, 7)) << which;
  }
}

TEST_F(Capture, RectanglesBeyondTheScreenKeepTheirSize) {
  const std::string file = scratch_ / "beyond.bmp";
  ASSERT_EQ(captureArea_(file.c_str(), ScreenWidth() - 10, ScreenHeight() - 10, ScreenWidth() + 20,
                         ScreenHeight() + 5),
            0);
  BitmapFile(file).ExpectLayout(30, 15);
  ASSERT_EQ(captureArea_(file.c_str(), -8, -4, 3, 2), 0);
  BitmapFile(file).ExpectLayout(11, 6);
}

TEST_F(Capture, ExistingFilesAreReplacedAndUnwritableOnesAnswer10007) {
  const std::string file = scratch_ / "old.bmp";
  WriteBytes(file, std::string(5000, 'x'));
  ASSERT_EQ(captureArea_(file.c_str(), 0, 0, 3, 3), 0);
  BitmapFile(file).ExpectLayout(3, 3);

  const std::string missingFolder = scratch_ / "missing\\new.bmp";
  EXPECT_EQ(captureArea_(missingFolder.c_str(), 0, 0, 3, 3), kCannotWriteFile);
  EXPECT_FALSE(Exists(missingFolder));

  // Held open without sharing by someone else: kept as it is.
  {
    const kit::unique_file held(::CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(captureArea_(file.c_str(), 0, 0, 5, 5), kCannotWriteFile);
  }
  BitmapFile(file).ExpectLayout(3, 3);
}

TEST_F(Capture, ReversedRectanglesAnswer12303AndTouchNoFile) {
  const std::string existing = scratch_ / "kept.bmp";
  WriteBytes(existing, "kept");
  const std::string absent = scratch_ / "absent.bmp";
  const RECT reversed[] = {{10, 0, 9, 5}, {0, 10, 5, 9}, {50, 50, 0, 0}};
  for (const RECT& r : reversed) {
    EXPECT_EQ(captureArea_(existing.c_str(), r.left, r.top, r.right, r.bottom), kCannotMakeImage);
    EXPECT_EQ(captureArea_(absent.c_str(), r.left, r.top, r.right, r.bottom), kCannotMakeImage);
  }
  EXPECT_EQ(ReadBytes(existing), "kept");
  EXPECT_FALSE(Exists(absent));
}

// Each image block is some 1.4 MB: kept, 30 rounds would hold over 40 MB.
TEST_F(Capture, RepeatedCallsLeaveNothingBehind) {
  const std::string file = scratch_ / "again.bmp";
  const std::string unwritable = scratch_ / "missing\\again.bmp";
  const tandrel_test::Growth growth = tandrel_test::GrowthOver(30, [&] {
    EXPECT_EQ(captureArea_(file.c_str(), 0, 0, 800, 600), 0);
    EXPECT_EQ(captureArea_(unwritable.c_str(), 0, 0, 800, 600), kCannotWriteFile);
    EXPECT_EQ(captureArea_(file.c_str(), 64, 0, 0, 48), kCannotMakeImage);
  });
  EXPECT_LT(growth.privateBytes, 8 << 20) << "memory left behind";
  if (growth.gdiCounted) {
    EXPECT_LE(growth.gdiObjects, 2) << "GDI objects left behind";
  } else {
    EXPECT_TRUE(UnderWine());
    RecordProperty("gdi_objects", "not counted by this system");
  }
}

// Points one imported function of a module elsewhere for as long as it
// lives.
class ImportPatch {
 public:
  ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0 && !slot_; ++entry) {
      if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
      auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
      auto* address = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
      for (; name->u1.AddressOfData != 0; ++name, ++address) {
        if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
        const auto* byName =
            reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
          slot_ = reinterpret_cast<void**>(&address->u1.Function);
          break;
        }
      }
    }
    if (slot_) original_ = Exchange(replacement);
  }
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;
  ~ImportPatch() {
    if (slot_) Exchange(original_);
  }
  bool Applied() const { return slot_ != nullptr; }

 private:
  void* Exchange(void* value) {
    DWORD protection;
    ::VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
    void* previous = *slot_;
    *slot_ = value;
    ::VirtualProtect(slot_, sizeof *slot_, protection, &protection);
    return previous;
  }

  void** slot_ = nullptr;
  void* original_ = nullptr;
};

// The requests the library made for system palette entries.
std::string gPaletteRequests;

UINT WINAPI RecordPaletteRequest(HDC dc, UINT start, UINT entries, PALETTEENTRY* out) {
  gPaletteRequests += std::to_string(start) + "+" + std::to_string(entries) + " ";
  return ::GetSystemPaletteEntries(dc, start, entries, out);
}

// Run on a screen of 8 bits per pixel, where the display works through the
// system palette; elsewhere they are skipped.
class PaletteCapture : public Capture {
 protected:
  void SetUp() override {
    Capture::SetUp();
    const kit::unique_window_dc screen = kit::GetScreenDc();
    if (!(::GetDeviceCaps(screen.get().dc, RASTERCAPS) & RC_PALETTE))
      GTEST_SKIP() << "the display has no palette";
  }
};

TEST_F(PaletteCapture, ThePaletteIsReadFromTheSystemAsked255Entries) {
  const ImportPatch patch(library_.get(), "gdi32.dll", "GetSystemPaletteEntries",
                          reinterpret_cast<void*>(RecordPaletteRequest));
  ASSERT_TRUE(patch.Applied());
  gPaletteRequests.clear();
  ASSERT_EQ(captureArea_((scratch_ / "asked.bmp").c_str(), 0, 0, 4, 4), 0);
  EXPECT_EQ(gPaletteRequests, "0+255 ");
}

// Colours every system palette holds among its static entries, the last of
// them (white) included.
COLORREF StaticColourBands(int x, int) {
  static const COLORREF kBands[] = {RGB(0, 0, 0),   RGB(128, 0, 0),     RGB(0, 128, 0),
                                    RGB(0, 0, 128), RGB(192, 192, 192), RGB(255, 0, 0),
                                    RGB(0, 255, 0), RGB(0, 0, 255),     RGB(255, 255, 255)};
  return kBands[(x / 10) % (sizeof kBands / sizeof *kBands)];
}

TEST_F(PaletteCapture, StaticColoursComeOutAsPainted) {
  const PaintedWindow window({40, 40, 40 + 90, 40 + 30}, WS_POPUP, StaticColourBands);
  const std::string file = scratch_ / "palette.bmp";
  ASSERT_EQ(captureArea_(file.c_str(), 40, 40, 130, 70), 0);
  const BitmapFile picture(file);
  picture.ExpectLayout(90, 30);
  for (int x = 0; x < 90; ++x)
    EXPECT_EQ(picture.Pixel(x, 15), StaticColourBands(x, 15)) << "x " << x;
}

TEST_F(PaletteCapture, WholeScreenIsA24BitFile) {
  const std::string file = scratch_ / "screen.bmp";
  ASSERT_EQ(captureWindow_(file.c_str(), "Screen"), 0);
  BitmapFile(file).ExpectLayout(ScreenWidth(), ScreenHeight());
}

}  // namespace
