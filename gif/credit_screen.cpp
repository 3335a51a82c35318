#include "gif/credit_screen.h"

#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "capture/frame_image.h"
#include "capture/screen_capture.h"
#include "gif/gif_reader.h"
#include "gif/resize.h"
#include "gif/trim.h"
#include "platform/scoped.h"
#include "platform/scoped_win.h"
#include "res/resource.h"

namespace {

const char kTemplateName[] = "frame.gif";
const char kDefaultFace[] = "ＭＳ Ｐゴシック";
constexpr int kTitleBytes = 63;
constexpr int kTitleControl = 1000;  // the control panel's title edit control
constexpr int kFirstFontHeight = 100;

bool TemplatePath(char* path) {
  std::memcpy(path, AppDataFolder, kPathSize);
  path[kPathSize - 1] = 0;
  return AppendPath(path, kTemplateName);
}

HFONT CreateCreditFont(const char* fontName, int fontHeight) {
  LOGFONTA font = {};
  font.lfHeight = fontHeight;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfOutPrecision = OUT_TT_PRECIS;
  font.lfPitchAndFamily = FF_MODERN;
  // A face name longer than the face field names no font that GDI could find; cut
  // short it could name an unrelated one, so the default face stands in for it.
  const char* face = fontName && std::strlen(fontName) < sizeof font.lfFaceName ? fontName : kDefaultFace;
  std::strcpy(font.lfFaceName, face);
  return CreateFontIndirectA(&font);
}

// The pixel bytes blue, green, red of a 0x00bbggrr colour.
RGBQUAD PixelColour(COLORREF colour) {
  return RGBQUAD{GetBValue(colour), GetGValue(colour), GetRValue(colour), 0};
}

// A title cut at its byte limit may end in the first byte of a double-byte character,
// which would be drawn as a stray glyph: that byte goes.
void DropSplitCharacter(char* title) {
  const auto* bytes = reinterpret_cast<const BYTE*>(title);
  std::size_t i = 0;
  while (bytes[i]) {
    if (IsDBCSLeadByte(bytes[i])) {
      if (!bytes[i + 1]) {
        title[i] = 0;
        return;
      }
      i += 2;
    } else {
      i += 1;
    }
  }
}

// The title as the control panel shows it while it is open (its own saved copy is
// only written when it closes), else the saved one.
void ReadCreditTitle(char* title) {
  title[0] = 0;
  if (GifPanel) {
    if (!GetDlgItemTextA(GifPanel, kTitleControl, title, kTitleBytes + 1)) title[0] = 0;
  } else {
    ReadIniText("option", "credittitle", "", title, kTitleBytes + 1);
  }
  title[kTitleBytes] = 0;
  DropSplitCharacter(title);
}

COLORREF ReadCreditColour() {
  char text[16];
  ReadIniText("option", "creditcolor", "000000", text, sizeof text);
  unsigned red = 0, green = 0, blue = 0;  // pairs that do not read stay 0
  std::sscanf(text, "%02x%02x%02x", &red, &green, &blue);
  return RGB(red, green, blue);
}

// Storage row height / 2 all one colour: such a template leaves its whole upper half
// to the title, one with something across its middle keeps the title nearer the top.
bool MiddleRowIsFlat(const FrameLock& picture) {
  const BYTE* row = picture.Row(picture.height() / 2);
  for (int x = 1; x < picture.width(); ++x) {
    if (std::memcmp(row + 3 * x, row, 3) != 0) return false;
  }
  return true;
}

// Steps of the title: colour and face from the settings, the height fitted to 80 % of
// the width, the place in the upper half, the background from the frame's centre.
void DrawCreditTitle(HWND owner, HGLOBAL credit, int width, int height, bool middleFlat, const char* title) {
  const COLORREF textColour = ReadCreditColour();
  char fontName[256];
  ReadIniText("option", "creditfont", kDefaultFace, fontName, sizeof fontName);
  ScopedGetDC display(owner);
  ScopedMemoryDC memory(display.get());

  int fontHeight = kFirstFontHeight;
  SIZE extent;
  if (!MeasureCreditTitle(title, fontName, fontHeight, &extent)) return;
  const int limit = 8 * width / 10;
  if (extent.cx > limit) {
    // extent.cx > limit >= 0: no division by zero.
    fontHeight = limit * kFirstFontHeight / extent.cx;
    if (!MeasureCreditTitle(title, fontName, fontHeight, &extent)) return;
  }

  RECT place;
  place.left = (width - extent.cx) / 2;
  place.right = place.left + extent.cx;
  if (place.left < 0) place.left = 0;
  if (place.right > width) place.right = width;
  const int base = height / 2 - extent.cy;
  place.top = middleFlat ? base / 2 : base / 4;
  place.bottom = place.top + extent.cy;
  if (place.top < 0) place.top = 0;
  if (place.bottom > height) place.bottom = height;

  COLORREF backColour;
  {
    FrameLock frame(credit);
    if (!frame.Is24Bit()) return;
    const BYTE* centre = frame.Row(frame.height() / 2) + 3 * (frame.width() / 2);
    backColour = RGB(centre[2], centre[1], centre[0]);
  }
  RenderCreditTitle(credit, &place, memory.get(), title, fontHeight, textColour, backColour, fontName);
}

}  // namespace

void ComposeCreditFrame(HWND owner, HGLOBAL* frames) {
  if (!frames) return;
  char path[kPathSize];
  if (!TemplatePath(path)) return;
  HGLOBAL image = nullptr;
  if (ReadGifFile(path, &image) != kGifReadOk) return;
  OwnedGlobal picture(TemplateToFrame(image));
  bool middleFlat;
  {
    // The lock's check also refuses a width or height below 1.
    FrameLock lock(picture.get());
    if (!lock.Is24Bit()) return;
    middleFlat = MiddleRowIsFlat(lock);
  }

  int width = 0, height = 0;
  {
    FrameLock first(frames[1]);
    if (first.ok()) {
      width = first.width();
      height = first.height();
    }
  }
  // Only a stray frame could be here (the caller keeps the slot empty); it is replaced.
  if (frames[0]) GlobalFree(frames[0]);
  frames[0] = ResizeFrame(picture.get(), width, height);
  picture.reset();

  char title[kTitleBytes + 1];
  ReadCreditTitle(title);
  if (title[0]) DrawCreditTitle(owner, frames[0], width, height, middleFlat, title);

  // The first recorded frame at half size, centred horizontally, from 3/8 to 7/8 of the height.
  OwnedGlobal thumbnail(ResizeFrame(frames[1], width / 2, height / 2));
  const RECT place{width / 4, 3 * height / 8, width / 2 + width / 4, height / 2 + 3 * height / 8};
  PasteFrame(frames[0], &place, nullptr, thumbnail.get());
}

int MeasureCreditTitle(const char* title, const char* fontName, int fontHeight, SIZE* extent) {
  if (!title || !extent) return 0;
  ScopedMemoryDC dc(nullptr);
  if (!dc.get()) return 0;
  ScopedGdiObject<HFONT> font(CreateCreditFont(fontName, fontHeight));
  if (!font.get()) return 0;
  ScopedSelectObject selected(dc.get(), font.get());
  if (!selected.ok()) return 0;
  SIZE size;
  if (!GetTextExtentPoint32A(dc.get(), title, static_cast<int>(std::strlen(title)), &size)) return 0;
  *extent = size;
  return 1;
}

void RenderCreditTitle(HGLOBAL frame, RECT* rect, HDC dc, const char* title, int fontHeight, COLORREF textColour,
                       COLORREF backColour, const char* fontName) {
  if (!rect || !title) return;
  const RGBQUAD back = PixelColour(backColour);
  if (!title[0]) {
    FillFrameRect(frame, rect, back);
    return;
  }
  if (rect->right <= rect->left || rect->bottom <= rect->top) return;

  ScopedMemoryDC memory(dc);
  if (!memory.get()) return;
  // A fitted height of 0 selects no font: the title is then drawn in the device
  // context's default font.
  ScopedGdiObject<HFONT> font(fontHeight > 0 ? CreateCreditFont(fontName, fontHeight) : nullptr);
  ScopedSelectObject selectedFont(memory.get(), font.get());
  const int length = static_cast<int>(std::strlen(title));
  SIZE size;
  if (!GetTextExtentPoint32A(memory.get(), title, length, &size) || size.cx < 1 || size.cy < 1) return;

  // One bit per pixel: the text comes out in exactly two colours, never smoothed.
  ScopedGdiObject<HBITMAP> bitmap(CreateBitmap(size.cx, size.cy, 1, 1, nullptr));
  if (!bitmap.get()) return;
  {
    ScopedSelectObject selectedBitmap(memory.get(), bitmap.get());
    // The device context's default colours: black text on an opaque white ground.
    if (!selectedBitmap.ok() || !ExtTextOutA(memory.get(), 0, 0, 0, nullptr, title, length, nullptr)) return;
  }
  // GetDIBits reads a bitmap only while no device context holds it: deselected above.
  OwnedGlobal text(BitmapToFrameImage(memory.get(), bitmap.get()));
  {
    FrameLock lock(text.get());
    if (!lock.Is24Bit()) return;
    const RGBQUAD ink = PixelColour(textColour);
    for (int row = 0; row < lock.height(); ++row) {
      BYTE* pixel = lock.Row(row);
      for (int x = 0; x < lock.width(); ++x, pixel += 3) {
        const RGBQUAD& colour = pixel[0] == 0 ? ink : back;
        pixel[0] = colour.rgbBlue;
        pixel[1] = colour.rgbGreen;
        pixel[2] = colour.rgbRed;
      }
    }
  }
  PasteFrame(frame, rect, &back, text.get());
}

int InstallCreditTemplate() {
  char path[kPathSize];
  if (!TemplatePath(path)) return 0;
  HRSRC found = FindResourceA(AppInstance, MAKEINTRESOURCEA(IDR_CREDITFRAME), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!found) return 0;
  HGLOBAL loaded = LoadResource(AppInstance, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(AppInstance, found);
  if (!bytes || !size) return 0;

  // CREATE_NEW fails when the file exists: whatever frame.gif is there stays as it is.
  ScopedFileHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.ok()) return 0;
  DWORD written = 0;
  if (WriteFile(file.get(), bytes, size, &written, nullptr) && written == size) return 1;
  // A cut template would stay unreadable for good, since no later start replaces it.
  file.Close();
  DeleteFileA(path);
  return 0;
}
