#include "app/settings_values.h"

#include <climits>
#include <string>

#include <gtest/gtest.h>

TEST(ParseIniIntTest, ReadsLikeAtoiOfA16ByteBufferAndSaturates) {
  const struct {
    const char* text;
    int value;
  } cases[] = {
      {"80", 80},
      {"abc", 0},  // a quality of abc reads as 0 (and is then used as 30)
      {"12abc", 12},
      {"  -7", -7},
      {"\t+5", 5},
      {"", 0},
      {"-", 0},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"-2147483649", INT_MIN},
      {"99999999999999999999", INT_MAX},
      {"000000000000001234", 1},   // only "000000000000001" fits the buffer
      {"              42", 4},     // 14 spaces and the "4"
      {"             -42", -4},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseIniInt(c.text), c.value) << '"' << c.text << '"';
  EXPECT_EQ(ParseIniInt(nullptr), 0);
}

TEST(ClampTest, RaisesShortIntervalsAndKeepsTheQualityIn30To100) {
  const std::pair<int, int> intervals[] = {{5, 10}, {9, 10}, {10, 10}, {10000, 10000}, {INT_MIN, 10}};
  for (const auto& [value, used] : intervals) EXPECT_EQ(ClampIntervalTimer(value), used) << value;
  const std::pair<int, int> qualities[] = {{0, 30}, {29, 30}, {30, 30}, {80, 80}, {100, 100}, {250, 100}, {INT_MIN, 30}};
  for (const auto& [value, used] : qualities) EXPECT_EQ(ClampJpegQuality(value), used) << value;
  EXPECT_EQ(ClampJpegQuality(ParseIniInt("abc")), 30);
}

TEST(HotKeyFromTextTest, GivesFunctionKeysDigitsAndLettersElseZero) {
  const struct {
    const char* text;
    int key;
  } cases[] = {
      {"f12", 123}, {"F12", 123}, {"F1", 0x70}, {"F13", 0}, {"F0", 0},
      {"F1x", 0x70},  // the number reads like atoi: its leading digits
      {"F 5", 0x74},  // atoi skips white space
      {"Fa", 0},      // "F" followed by more is always a function key
      {"F-1", 0}, {"F99999999999", 0},
      {"F", 0x46}, {"f", 0x46},  // "F" alone is the letter
      {"a", 0x41}, {"z", 0x5A}, {"Qx", 0x51}, {"7", 0x37}, {"0", 0x30},
      {"!", 0}, {"", 0}, {" a", 0},
      {"\x82\x60", 0},  // a Shift-JIS full-width letter is no key
  };
  for (const auto& c : cases) EXPECT_EQ(HotKeyFromText(c.text), c.key) << '"' << c.text << '"';
  EXPECT_EQ(HotKeyFromText(nullptr), 0);
}

TEST(CreditColourTest, ReadsRedGreenBlueHexPairsAndWritesThemBack) {
  const struct {
    const char* text;
    COLORREF colour;  // 0x00bbggrr
    bool complete;
  } cases[] = {
      {"ff0000", 0x0000FF, true},
      {"00ff00", 0x00FF00, true},
      {"0000ff", 0xFF0000, true},
      {"A1b2C3", 0xC3B2A1, true},
      {"123456789", 0x563412, true},  // what follows the third pair is not read
      {" f f f", 0x0F0F0F, true},     // like sscanf: white space skipped, one digit is a field
      {"fff", 0x000FFF, false},       // ff, then f, then nothing
      {"ff00", 0x0000FF, false},
      {"ffzz00", 0x0000FF, false},
      {"-10000", 0, false},
      {"", 0, false},
  };
  for (const auto& c : cases) {
    COLORREF colour = 0xDEADBEEF;
    EXPECT_EQ(ParseCreditColour(c.text, &colour), c.complete) << '"' << c.text << '"';
    EXPECT_EQ(colour, c.colour) << '"' << c.text << '"';
  }

  for (COLORREF colour : {COLORREF{0x0000FF}, COLORREF{0x000000}, COLORREF{0xFFFFFF}, COLORREF{0x0A0B0C}}) {
    char text[7];
    FormatCreditColour(colour, text);
    COLORREF back = 0;
    EXPECT_TRUE(ParseCreditColour(text, &back)) << text;
    EXPECT_EQ(back, colour) << text;
  }
  char text[7];
  FormatCreditColour(0x0000FF, text);
  EXPECT_STREQ(text, "ff0000");
  FormatCreditColour(0x00C3B2A1, text);
  EXPECT_STREQ(text, "a1b2c3") << "lower case, red first";
}

TEST(ParseWindowRectTest, NeedsAllThreeCommasElseAllZero) {
  const struct {
    const char* text;
    RECT rect;
  } cases[] = {
      {"10,20,300,400", {10, 20, 300, 400}},
      {"-5, 7 ,x,12", {-5, 7, 0, 12}},
      {"1,2,3,4,5", {1, 2, 3, 4}},
      {",,,", {0, 0, 0, 0}},
      {"10,20,300", {0, 0, 0, 0}},
      {"10,20,300,", {10, 20, 300, 0}},
      {"", {0, 0, 0, 0}},
      {"99999999999,0,0,-99999999999", {INT_MAX, 0, 0, INT_MIN}},
  };
  for (const auto& c : cases) {
    RECT rect{1, 2, 3, 4};
    ParseWindowRect(c.text, &rect);
    EXPECT_EQ(rect.left, c.rect.left) << '"' << c.text << '"';
    EXPECT_EQ(rect.top, c.rect.top) << '"' << c.text << '"';
    EXPECT_EQ(rect.right, c.rect.right) << '"' << c.text << '"';
    EXPECT_EQ(rect.bottom, c.rect.bottom) << '"' << c.text << '"';
  }
}
