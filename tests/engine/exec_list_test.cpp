#include "companion/exec_list.h"

#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace {

const std::string kLine = ExecListLine("C:\\Tools\\frimbola.exe");

// The list's bytes in a heap block of exactly their size, with no terminator, so a
// read past the end shows under AddressSanitizer.
bool Update(const std::string& list, std::string* content) {
  auto bytes = std::make_unique<char[]>(list.size());
  std::memcpy(bytes.get(), list.data(), list.size());
  return UpdateExecList(bytes.get(), list.size(), kLine, content);
}

}  // namespace

TEST(ExecListLineTest, HoldsIdNamesAndQuotedPath) {
  EXPECT_EQ(kLine, "35\tFrimbola\tFrimbola(アニメGIF作成)\t\"C:\\Tools\\frimbola.exe\"\r\n");
#ifdef _WIN32
  // The companions read the list in Shift-JIS.
  EXPECT_NE(kLine.find("\x83\x41\x83\x6A\x83\x81GIF\x8D\xEC\x90\xAC"), std::string::npos);
#endif
}

TEST(UpdateExecListTest, ReplacesTheLineOfId35OrAppends) {
  const struct {
    std::string list;
    std::string content;
  } cases[] = {
      {"", kLine},  // absent or empty file
      {"10\tA\tB\r\n35\told\r\n40\tC\r\n", "10\tA\tB\r\n" + kLine + "40\tC\r\n"},
      {"35\told\r\n", kLine},
      {"10\tA\r\n35\told", "10\tA\r\n" + kLine},                    // last line, no CR LF
      {"10\tA\r\n20\tB", "10\tA\r\n20\tB" + kLine},                 // appended on the same line
      {"no tabs\r\nat all\r\n", "no tabs\r\nat all\r\n" + kLine},
      {"10\tA\r\nfooter\r\n", "10\tA\r\nfooter\r\n" + kLine},       // no TAB after this point
      {"10\tA\r\n\r\n", "10\tA\r\n\r\n" + kLine},
      {"35\tA\r\n35\tB\r\n", kLine + "35\tB\r\n"},                  // only the first
      {"10\tA\n35\tB\n", "10\tA\n35\tB\n" + kLine},                 // lines end only at CR LF
      {"3\tA\r\n5\tB\r\n", "3\tA\r\n5\tB\r\n" + kLine},
  };
  for (const auto& c : cases) {
    std::string content;
    EXPECT_TRUE(Update(c.list, &content)) << c.list;
    EXPECT_EQ(content, c.content) << c.list;
  }
}

TEST(UpdateExecListTest, ReadsIdsLikeAtoi) {
  const struct {
    std::string id;
    bool replaced;
  } cases[] = {
      {"35", true},     {"035", true},   {" 35", true}, {"+35", true}, {"35x", true},
      {"350", false},   {"3 5", false},  {"-35", false}, {"", false},
      {"4294967331", false},  // 2^32 + 35: saturates, never wraps round to 35
  };
  for (const auto& c : cases) {
    const std::string list = "1\tA\r\n" + c.id + "\tB\r\n2\tC\r\n";
    std::string content;
    ASSERT_TRUE(Update(list, &content)) << c.id;
    EXPECT_EQ(content, c.replaced ? "1\tA\r\n" + kLine + "2\tC\r\n" : list + kLine) << c.id;
  }
}

TEST(UpdateExecListTest, WorksOnTheRealLengthPastZeroBytes) {
  const std::string list("10\0\tA\r\n35\tB\r\n", 13);
  std::string content;
  ASSERT_TRUE(Update(list, &content));
  EXPECT_EQ(content, std::string("10\0\tA\r\n", 7) + kLine);
}

TEST(UpdateExecListTest, RefusesALineWithoutTabBeforeALaterTab) {
  for (const std::string list : {"header\r\n10\tA\r\n", "10\tA\r\n\r\n35\tB\r\n", "10\tA\r\nnote\r\n35\told\r\n"}) {
    std::string content = "untouched";
    EXPECT_FALSE(Update(list, &content)) << list;
    EXPECT_EQ(content, "untouched") << list;
  }
}
