// The credit frame on a real display context: the template fitted to the recording,
// the title in two colours in the upper half (its height fitted to the width, its
// place set by the template's middle row), the half-size first frame below it, and
// the default template the program puts into the data folder.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app.h"
#include "app/main_window.h"
#include "gif/credit_screen.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "gif/resize.h"
#include "platform/scoped_win.h"
#include "res/resource.h"
#include "tests/program/program_paths.h"
#include "tests/support/test_frames.h"

namespace {

const char kDefaultFace[] = "ＭＳ Ｐゴシック";
constexpr Rgb kSky{40, 90, 160};      // a test template's upper part
constexpr Rgb kField{230, 225, 210};  // the rest of it, its centre included
constexpr Rgb kMark{200, 40, 40};     // something across the middle row
constexpr Rgb kRed{255, 0, 0};

std::string Repeat(const char* text, int times) {
  std::string result;
  while (times-- > 0) result += text;
  return result;
}

// A template of width x height: sky over the upper 40 %, field below; with a mark, the
// first pixels of the middle row (storage row height / 2) are not field.
void WriteBandedTemplate(const std::string& path, int width, int height, bool markMiddleRow) {
  const int middle = height - 1 - height / 2;  // storage row height / 2 in picture rows
  UniqueFrame image = MakeIndexedFrame(width, height, 8, {kSky, kField, kMark, Rgb{0, 0, 0}}, [&](int x, int y) {
    if (markMiddleRow && y == middle && x < 4) return 2;
    return y < height * 4 / 10 ? 0 : 1;
  });
  auto job = std::make_unique<AnimeGifInfo>();
  job->transparentIndex = -1;
  job->frameCount = 1;
  job->frames[0] = AnimeGifFrame{image.get(), 0};
  ASSERT_EQ(WriteGifWithGlobalTable(job.get(), path.c_str(), nullptr), kGifWriteOk);
}

// The smallest rectangle holding every pixel of the top rows that is not sky: the
// title's rectangle, which is filled with the field colour before the text is drawn.
RECT NotSkyArea(HGLOBAL frame, int rows) {
  RECT area{FrameWidth(frame), rows, 0, 0};
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < FrameWidth(frame); ++x) {
      if (PixelAt(frame, x, y) == kSky) continue;
      area.left = std::min<LONG>(area.left, x);
      area.top = std::min<LONG>(area.top, y);
      area.right = std::max<LONG>(area.right, x + 1);
      area.bottom = std::max<LONG>(area.bottom, y + 1);
    }
  }
  return area;
}

// The title's extent as the credit frame draws it on a frame of the width: at height
// 100, or, wider than 80 % of the frame, at the height that brings it down to that.
SIZE DrawnExtent(const std::string& title, int width, int* fontHeight) {
  SIZE extent{};
  *fontHeight = 100;
  EXPECT_TRUE(MeasureCreditTitle(title.c_str(), kDefaultFace, 100, &extent));
  if (extent.cx > 8 * width / 10) {
    *fontHeight = 8 * width / 10 * 100 / extent.cx;
    EXPECT_TRUE(MeasureCreditTitle(title.c_str(), kDefaultFace, *fontHeight, &extent));
  }
  return extent;
}

std::string Describe(const RECT& r) {
  return "{" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + "}";
}

// Each test has its own data folder and settings file; slot 0 and slot 1 are the
// credit frame and the first recorded frame.
class CreditScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    AppInstance = GetModuleHandleA(nullptr);
    folder_ = WindowsPath(TempPath("credit-" + std::to_string(++serial_))) + "\\";
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
    ASSERT_LT(folder_.size() + 16, sizeof AppDataFolder);
    std::strcpy(AppDataFolder, folder_.c_str());
    std::strcpy(IniPath, (folder_ + "frimbola.ini").c_str());
    GifPanel = nullptr;
  }

  void TearDown() override {
    if (GifPanel) DestroyWindow(GifPanel);
    GifPanel = nullptr;
    for (HGLOBAL& frame : frames_) {
      if (frame) GlobalFree(frame);
      frame = nullptr;
    }
  }

  std::string TemplatePath() const { return folder_ + "frame.gif"; }
  void Setting(const char* key, const char* value) { WritePrivateProfileStringA("option", key, value, IniPath); }
  void Record(int width, int height) {
    frames_[1] = MakeFrame24(width, height, [](int x, int y) { return Noise(x, y, 7); }).release();
  }

  // The credit frame as it must come out without a title: the template fitted to the
  // recording with the recording's first frame at half size pasted over it.
  UniqueFrame TemplateWithThumbnail() {
    HGLOBAL image = nullptr;
    EXPECT_EQ(ReadGifFile(TemplatePath().c_str(), &image), kGifReadOk);
    UniqueFrame picture(TemplateToFrame(image));
    const int width = FrameWidth(frames_[1]), height = FrameHeight(frames_[1]);
    UniqueFrame expected(ResizeFrame(picture.get(), width, height));
    UniqueFrame thumbnail(ResizeFrame(frames_[1], width / 2, height / 2));
    const int left = width / 4, top = 3 * height / 8;
    return MakeFrame24(width, height, [&](int x, int y) {
      const bool inside = x >= left && x < left + width / 2 && y >= top && y < top + height / 2;
      return inside ? PixelAt(thumbnail.get(), x - left, y - top) : PixelAt(expected.get(), x, y);
    });
  }

  static inline int serial_ = 0;
  std::string folder_;
  HGLOBAL frames_[2] = {};
};

TEST_F(CreditScreen, InstallPutsTheTemplateThereOnceAndNeverReplacesAFile) {
  HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_CREDITFRAME), MAKEINTRESOURCEA(10));
  ASSERT_NE(found, nullptr);
  const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, found)));
  const std::vector<std::uint8_t> carried(data, data + SizeofResource(nullptr, found));

  EXPECT_EQ(InstallCreditTemplate(), 1);
  EXPECT_EQ(ReadFileBytes(TemplatePath()), carried);
  // The template the program carries reads as a GIF and has a flat middle row.
  HGLOBAL image = nullptr;
  ASSERT_EQ(ReadGifFile(TemplatePath().c_str(), &image), kGifReadOk);
  UniqueFrame picture(TemplateToFrame(image));
  ASSERT_EQ(FrameWidth(picture.get()), 320);
  ASSERT_EQ(FrameHeight(picture.get()), 240);
  for (int x = 0; x < 320; ++x) EXPECT_EQ(PixelAt(picture.get(), x, 119), PixelAt(picture.get(), 0, 119)) << x;

  // A second start, or a template of the user's: the file stays as it is.
  const std::vector<std::uint8_t> users = {'G', 'I', 'F', '8', '9', 'a', 'm', 'i', 'n', 'e'};
  WriteFileBytes(TemplatePath(), users);
  EXPECT_EQ(InstallCreditTemplate(), 0);
  EXPECT_EQ(ReadFileBytes(TemplatePath()), users);
}

TEST_F(CreditScreen, WithoutTitleTheTemplateCarriesTheHalfSizeFirstFrame) {
  ASSERT_EQ(InstallCreditTemplate(), 1);
  Setting("credittitle", "");
  Record(400, 300);
  UniqueFrame recorded = MakeFrame24(400, 300, [](int x, int y) { return Noise(x, y, 7); });
  UniqueFrame expected = TemplateWithThumbnail();

  ComposeCreditFrame(nullptr, frames_);

  ASSERT_EQ(FrameBitCount(frames_[0]), 24);
  EXPECT_TRUE(SamePixels(frames_[0], expected.get()));
  EXPECT_TRUE(SamePixels(frames_[1], recorded.get()));
  // On 400 x 300 the thumbnail covers x 100..299 and y 112..261.
  UniqueFrame thumbnail(ResizeFrame(frames_[1], 200, 150));
  for (int y = 112; y < 262; ++y) {
    for (int x = 100; x < 300; ++x) {
      ASSERT_EQ(PixelAt(frames_[0], x, y), PixelAt(thumbnail.get(), x - 100, y - 112)) << x << ", " << y;
    }
  }
}

// The title goes into a rectangle of the measured extent: centred horizontally, centred
// in the upper half under a flat middle row, else halfway between the top and that
// place; wider than 80 % of the frame at height 100 it is drawn smaller to fit.
TEST_F(CreditScreen, TitleIsDrawnInTwoColoursWhereTheTemplateLeavesRoom) {
  const std::string longTitle = "The quick brown fox jumps over the lazy dog, then sleeps till noon.";  // 68 bytes
  struct Case {
    const char* name;
    std::string title;  // credittitle
    bool flatMiddle;
    int width;
    bool fitted;  // drawn below height 100
  } cases[] = {
      {"short, flat middle row", "Ab1", true, 400, false},
      {"short, middle row with a mark", "Ab1", false, 400, false},
      {"long, cut to 63 bytes and fitted", longTitle, true, 400, true},
      {"Japanese, fitted", "クレジット画面", false, 400, true},
      {"Japanese, 64 bytes: the character cut at 63 goes", Repeat("あ", 32), false, 400, true},
      {"fitted height 0 on a narrow frame", longTitle, true, 8, true},
  };
  constexpr int kHeight = 600;
  Setting("creditcolor", "ff0000");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBandedTemplate(TemplatePath(), 160, 120, !c.flatMiddle);
    Setting("credittitle", c.title.c_str());
    if (frames_[0]) GlobalFree(frames_[0]);
    if (frames_[1]) GlobalFree(frames_[1]);
    frames_[0] = nullptr;
    Record(c.width, kHeight);

    ComposeCreditFrame(nullptr, frames_);
    ASSERT_EQ(FrameWidth(frames_[0]), c.width);
    ASSERT_EQ(FrameHeight(frames_[0]), kHeight);

    // At most 63 bytes, and no half of a double-byte character at the end (the settings
    // file already gives 62 bytes of 32 double-byte characters under Wine).
    std::string drawn = c.title.substr(0, 63);
    if (drawn.size() == 63 && IsDBCSLeadByte(static_cast<BYTE>(drawn[62]))) drawn.pop_back();
    int fontHeight;
    const SIZE extent = DrawnExtent(drawn, c.width, &fontHeight);
    EXPECT_EQ(fontHeight < 100, c.fitted) << fontHeight;
    RECT expected;
    expected.left = std::max<LONG>(0, (c.width - extent.cx) / 2);
    expected.right = std::min<LONG>(c.width, (c.width - extent.cx) / 2 + extent.cx);
    expected.top = c.flatMiddle ? (kHeight / 2 - extent.cy) / 2 : (kHeight / 2 - extent.cy) / 4;
    expected.bottom = expected.top + extent.cy;
    // Rows above 220 are sky in the fitted template and clear of the thumbnail (from 225).
    ASSERT_LT(expected.bottom, 220);
    const RECT area = NotSkyArea(frames_[0], 220);
    EXPECT_TRUE(EqualRect(&area, &expected)) << Describe(area) << " instead of " << Describe(expected);
    if (c.fitted && c.width == 400) {
      EXPECT_GE(area.right - area.left, 400 * 70 / 100);
      EXPECT_LE(area.right - area.left, 400 * 85 / 100);
    }

    int red = 0, field = 0, other = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        const Rgb pixel = PixelAt(frames_[0], x, y);
        (pixel == kRed ? red : pixel == kField ? field : other) += 1;
      }
    }
    // Text in the text colour on the background colour, nothing else: ink covers less
    // of the rectangle than the ground it stands on.
    EXPECT_GT(red, 0);
    EXPECT_GT(field, red);
    EXPECT_EQ(other, 0);
  }
}

// Without a title the rectangle only takes the background colour (clamped to the
// frame); an empty rectangle takes nothing.
TEST(RenderCreditTitle, EmptyTitleFillsAndEmptyRectangleLeavesAlone) {
  struct Case {
    const char* title;
    RECT rect;
    RECT filled;  // where the background colour ends up
  } cases[] = {
      {"", {10, 10, 30, 20}, {10, 10, 30, 20}},
      {"", {50, 30, 80, 60}, {50, 30, 60, 40}},
      {"Ab", {10, 10, 10, 20}, {0, 0, 0, 0}},
      {"Ab", {20, 30, 10, 35}, {0, 0, 0, 0}},
  };
  ScopedGetDC screen(nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.rect) + " \"" + c.title + "\"");
    UniqueFrame frame = MakeFlatFrame24(60, 40, kSky);
    RECT rect = c.rect;
    RenderCreditTitle(frame.get(), &rect, screen.get(), c.title, 100, RGB(255, 0, 0), RGB(230, 225, 210), kDefaultFace);
    for (int y = 0; y < 40; ++y) {
      for (int x = 0; x < 60; ++x) {
        const POINT point{x, y};
        ASSERT_EQ(PixelAt(frame.get(), x, y), PtInRect(&c.filled, point) ? kField : kSky) << x << ", " << y;
      }
    }
  }
}

// While the control panel is open its edit control holds the title, not the settings
// file. The control gives 63 bytes of a longer text even when that cuts a double-byte
// character in two: the half is dropped, not drawn as a stray glyph.
TEST_F(CreditScreen, OpenPanelGivesTheTitle) {
  struct Case {
    std::string saved;
    std::string inPanel;
    std::string drawn;
  } cases[] = {
      {"Saved", "", ""},
      {"", "Xy", "Xy"},
      {"", Repeat("あ", 32), Repeat("あ", 31)},
  };
  WriteBandedTemplate(TemplatePath(), 160, 120, false);
  for (const Case& c : cases) {
    SCOPED_TRACE("panel text of " + std::to_string(c.inPanel.size()) + " bytes");
    Setting("credittitle", c.saved.c_str());
    GifPanel = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    const auto titleControl = reinterpret_cast<HMENU>(static_cast<INT_PTR>(1000));
    ASSERT_NE(CreateWindowExA(0, "EDIT", c.inPanel.c_str(), WS_CHILD, 0, 0, 150, 20, GifPanel, titleControl, nullptr,
                              nullptr),
              nullptr);
    for (HGLOBAL& frame : frames_) {
      if (frame) GlobalFree(frame);
      frame = nullptr;
    }
    Record(400, 600);

    ComposeCreditFrame(nullptr, frames_);
    DestroyWindow(GifPanel);
    GifPanel = nullptr;

    const RECT area = NotSkyArea(frames_[0], 220);
    if (c.drawn.empty()) {
      EXPECT_TRUE(IsRectEmpty(&area)) << Describe(area);
    } else {
      int fontHeight;
      const SIZE extent = DrawnExtent(c.drawn, 400, &fontHeight);
      EXPECT_EQ(area.right - area.left, extent.cx);
      EXPECT_EQ(area.bottom - area.top, extent.cy);
    }
  }
}

TEST_F(CreditScreen, WithoutAUsableTemplateSlotZeroStaysEmpty) {
  ASSERT_EQ(InstallCreditTemplate(), 1);
  const std::vector<std::uint8_t> carried = ReadFileBytes(TemplatePath());
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;  // none: no file
  } cases[] = {
      {"missing", {}},
      {"not a GIF", {'B', 'M', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'}},
      {"cut after the colour table", std::vector<std::uint8_t>(carried.begin(), carried.begin() + 25)},
      {"trailer before any image", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3b, 0, 0}},
  };
  Setting("credittitle", "Title");
  Record(400, 300);
  UniqueFrame recorded = MakeFrame24(400, 300, [](int x, int y) { return Noise(x, y, 7); });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileA(TemplatePath().c_str());
    if (!c.bytes.empty()) WriteFileBytes(TemplatePath(), c.bytes);
    ComposeCreditFrame(nullptr, frames_);
    EXPECT_EQ(frames_[0], nullptr);
    EXPECT_TRUE(SamePixels(frames_[1], recorded.get()));
  }
}

}  // namespace
