#include "app/menu_text.h"

#include <string>

#include <gtest/gtest.h>

TEST(AppendHotKeyTextTest, JoinsModifiersAndKeyWithPlus) {
  const struct {
    int hotkey, hotkeymod;
    const char* text;
  } cases[] = {
      {0x7B, 2, "<ctrl>+F12"},
      {'A', 6, "<shift>+<ctrl>+'A'"},
      {'Z', 7, "<shift>+<ctrl>+<alt>+'Z'"},
      {'7', 1, "<alt>+'7'"},
      {0x70, 0, "F1"},
      {'0', 0, "'0'"},
      {0, 2, "<ctrl>"},       // no key: only the modifiers
      {0, 1, "<alt>"},
      {0, 5, "<shift>+<alt>"},
      {0, 0, ""},
      {0x7C, 2, "<ctrl>"},    // F13 is no key of ours
      {0x6F, 0, ""},
      {'a', 4, "<shift>"},    // 0x61 is a numeric-pad key, not a letter
      {'@', 0, ""},
      {'[', 0, ""},
      {'A', 8, "'A'"},        // bits other than 1, 2 and 4 add nothing
  };
  for (const auto& c : cases) {
    std::string text;
    AppendHotKeyText(&text, c.hotkey, c.hotkeymod);
    EXPECT_EQ(text, c.text) << "key " << c.hotkey << ", modifiers " << c.hotkeymod;
  }
}

TEST(AppendHotKeyTextTest, AppendsToTheMenuText) {
  std::string text = "キャプチャー ";
  AppendHotKeyText(&text, 0x7B, 2);
  EXPECT_EQ(text, "キャプチャー <ctrl>+F12");
}

TEST(NextFileItemTextTest, NamesTheNextFileAndCountsTheSavedOnes) {
  EXPECT_EQ(NextFileItemText("A", 1001, 0), "\"A0001001.jpg\"  0枚");
  EXPECT_EQ(NextFileItemText("clip_", 12345678, 12), "\"clip_12345678.jpg\"  12枚") << "eight digits are kept";
  EXPECT_EQ(NextFileItemText("", -5, 3), "\"-000005.jpg\"  3枚");
  EXPECT_EQ(NextFileItemText(nullptr, 7, 1), "\"0000007.jpg\"  1枚");
}

// The menu's texts are Shift-JIS at run time in the Windows build (UTF-8 natively).
TEST(NextFileItemTextTest, CountWordIsShiftJisInTheWindowsBuild) {
#ifdef _WIN32
  const std::string expected = "\"A0001001.jpg\"  3\x96\x87";
#else
  const std::string expected = "\"A0001001.jpg\"  3\xE6\x9E\x9A";
#endif
  EXPECT_EQ(NextFileItemText("A", 1001, 3), expected);
}
