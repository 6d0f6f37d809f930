#include <gtest/gtest.h>

#include <regex>

#include "app/StartUp.h"
#include "base/Logging.h"
#include "support/TestSupport.h"

namespace quarnel {
namespace {

class Logging : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessState(); }
  void TearDown() override { ResetProcessState(); }
};

TEST_F(Logging, StampedLinesAreDateBlankTimeThreeBlanksText) {
  SetLogClock([] { return std::time_t{1796749596}; });
  AddLog("  text with blanks ");
  AddLog("");
  ASSERT_EQ(Log_BenchMark.Lines().size(), 2u);
  // The date and the time as the regional settings write them, a blank between.
  const std::string stamp = DateTimeText();
  EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\S+ \S+( \S+)?)"))) << stamp;
  EXPECT_EQ(Log_BenchMark.Lines()[0], stamp + "   " + "  text with blanks ");
  EXPECT_EQ(Log_BenchMark.Lines()[1], stamp + "   ");
}

TEST_F(Logging, TimestampIsTakenAtTheCall) {
  SetLogClock([] { return std::time_t{0}; });
  const std::string first = DateTimeText();
  SetLogClock([] { return std::time_t{86400 * 365}; });
  EXPECT_NE(first, DateTimeText());
}

TEST_F(Logging, DebugLogWritesOnlyInDebugMode) {
  AddDebugLog("hidden");
  EXPECT_EQ(DebugMemo.Lines(), std::vector<std::string>{"调试窗口"});

  EXPECT_FALSE(ActivateDebugMode({"--verbose", "--debug"}));
  AddDebugLog("still hidden");
  EXPECT_EQ(DebugMemo.Lines().size(), 1u);

  EXPECT_TRUE(ActivateDebugMode({"--DeBuG", "x"}));
  AddDebugLog("shown");
  ASSERT_EQ(DebugMemo.Lines().size(), 3u);
  EXPECT_EQ(test::DebugTexts(), (std::vector<std::string>{"Debug mode activated", "shown"}));
}

TEST_F(Logging, ReportPanesTakeLinesUnchanged) {
  AddDetailsLog("  leading blanks");
  AddDetailsLog("");
  AddSmartLog(" ");
  EXPECT_EQ(Log_Details.Lines(), (std::vector<std::string>{"  leading blanks", ""}));
  EXPECT_EQ(Log_Smart.Lines(), std::vector<std::string>{" "});
}

TEST_F(Logging, ListenersSeeEveryNewLineInOrder) {
  std::vector<std::string> seen;
  Log_Smart.SetListener([&](const std::string& l) { seen.push_back(l); });
  AddSmartLog("a");
  AddSmartLog("b");
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace quarnel
