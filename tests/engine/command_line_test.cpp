#include "app/command_line.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

namespace {

struct Parsed {
  std::string folder;
  bool define;
};

// The line goes in a heap block of exactly its length plus the terminator, so a
// read past the terminator shows under AddressSanitizer.
Parsed Parse(const std::string& line) {
  auto copy = std::make_unique<char[]>(line.size() + 1);
  std::memcpy(copy.get(), line.c_str(), line.size() + 1);
  char folder[256];
  std::memset(folder, 'x', sizeof folder);
  bool define = true;
  ParseCommandLine(copy.get(), folder, sizeof folder, &define);
  return {std::string(folder, std::find(folder, folder + sizeof folder, '\0')), define};
}

}  // namespace

TEST(ParseCommandLineTest, TakesTheFolderFromQuotesOrTheWholeLine) {
  const struct {
    const char* line;
    const char* folder;
    bool define;
  } cases[] = {
      {"\"C:\\Frames\\\"", "C:\\Frames\\", false},
      {"\"-define=C:\\x\"", "C:\\x", true},
      {"\"C:\\x\" --more", "C:\\x", false},
      {"\"\"\"C:\\x\"", "C:\\x", false},              // further opening quotes are skipped
      {"\"-define=\"\"C:\\x\"", "C:\\x", true},
      {"\"C:\\x", "C:\\x", false},                    // no closing quote: the rest
      {"C:\\x \"quoted\"", "quoted", false},          // the first quote opens, wherever it is
      {"\"C:\\a\" \"-define=C:\\b\"", "C:\\b", true},  // "-define=" after any quote wins
      {"x\"-define=C:\\y\"", "C:\\y", true},
      {"\"-DEFINE=C:\\x\"", "-DEFINE=C:\\x", false},  // only the exact text
      {"\"\"\"", "", false},
      {"   C:\\My Frames", "C:\\My Frames", false},   // no quotes: after leading spaces, spaces kept
      {"-define=C:\\x", "-define=C:\\x", false},      // without a quote "-define=" is just text
      {"\tC:\\x ", "\tC:\\x ", false},                // only spaces are skipped
      {"", "", false},
  };
  for (const auto& c : cases) {
    const Parsed parsed = Parse(c.line);
    EXPECT_EQ(parsed.folder, c.folder) << c.line;
    EXPECT_EQ(parsed.define, c.define) << c.line;
  }
}

TEST(ParseCommandLineTest, IgnoresARestOf256CharactersOrMore) {
  const std::string name255(255, 'a');
  const std::string name256(256, 'a');
  EXPECT_EQ(Parse(name255).folder, name255);
  EXPECT_EQ(Parse(name256).folder, "");
  EXPECT_EQ(Parse("    " + name255).folder, name255) << "leading spaces do not count";
  EXPECT_EQ(Parse("\"" + name255).folder, name255);
  EXPECT_EQ(Parse("\"" + name256).folder, "");
  EXPECT_EQ(Parse("\"-define=" + name255).folder, name255);
  EXPECT_EQ(Parse("\"-define=" + name256).folder, "");

  // The whole rest counts, also what follows the closing quote.
  const std::string name250(250, 'b');
  EXPECT_EQ(Parse("\"" + name250 + "\"1234").folder, name250);
  EXPECT_EQ(Parse("\"" + name250 + "\"12345").folder, "");
}

TEST(ParseCommandLineTest, ToleratesNoLineAndASmallBuffer) {
  char folder[8] = "garbage";
  bool define = true;
  ParseCommandLine(nullptr, folder, sizeof folder, &define);
  EXPECT_STREQ(folder, "");
  EXPECT_FALSE(define);
  ParseCommandLine("\"C:\\Frames\"", folder, sizeof folder, &define);
  EXPECT_STREQ(folder, "") << "a text that does not fit the buffer is no folder";
  ParseCommandLine("\"C:\\F\"", folder, sizeof folder, &define);
  EXPECT_STREQ(folder, "C:\\F");
}
