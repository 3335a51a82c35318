#include "gif/build_progress.h"

#include <string>

#include <gtest/gtest.h>

// The program's texts are Shift-JIS at run time in the Windows build (and UTF-8 natively,
// where the command-line tool prints them to a UTF-8 terminal).
TEST(BuildStepNameTest, IsShiftJisInTheWindowsBuild) {
#ifdef _WIN32
  const std::string expected = "\x83\x67\x83\x8A\x83\x7E\x83\x93\x83\x4F";
#else
  const std::string expected = "\xE3\x83\x88\xE3\x83\xAA\xE3\x83\x9F\xE3\x83\xB3\xE3\x82\xB0";
#endif
  EXPECT_EQ(BuildStepName(BuildStep::Trimming), expected);
}

TEST(ReportProgressTest, ReadsAndClearsTheCancelRequestOnlyWithASink) {
  int reports = 0;
  const ProgressSink sink{nullptr, [](void* context, int) { ++*static_cast<int*>(context); }, &reports};
  CancelRequested = 1;
  EXPECT_FALSE(ReportProgress(nullptr, 10)) << "no progress window, no cancel";
  ReportPercent(&sink, 20);
  EXPECT_EQ(CancelRequested, 1) << "a bare report leaves the request";
  EXPECT_TRUE(ReportProgress(&sink, 30));
  EXPECT_EQ(CancelRequested, 0);
  EXPECT_FALSE(ReportProgress(&sink, 40));
  EXPECT_EQ(reports, 3);
}
