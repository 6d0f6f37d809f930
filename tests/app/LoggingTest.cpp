#include <gtest/gtest.h>

#include <regex>

#include "app/StartUp.h"
#include "base/Logging.h"
#include "base/Text.h"
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

// Device and mount texts are shown, never obeyed: controls, separators,
// direction overrides and broken UTF-8 turn into escapes; the rest stays.
TEST(VisibleText, EscapesWhatATerminalWouldObey) {
  EXPECT_EQ(VisibleText("XD500 盘 é"), "XD500 盘 é");
  EXPECT_EQ(VisibleText("a\x1b[2Jb\n\t\x7f"), "a\\x1b[2Jb\\x0a\\x09\\x7f");
  EXPECT_EQ(VisibleText("\xc2\x9b[1m"), "\\x9b[1m");                         // C1 CSI
  EXPECT_EQ(VisibleText("x\xe2\x80\xaey\xe2\x80\xa8"), "x\\u202ey\\u2028");  // RLO, LS
  EXPECT_EQ(VisibleText("\xff\xc0\xaf\xed\xa0\x80\xe4\xb8"),
            "\\xff\\xc0\\xaf\\xed\\xa0\\x80\\xe4\\xb8");  // bad, overlong, surrogate, cut
  EXPECT_EQ(VisibleText(std::string("a\0b", 3)), "a\\x00b");
}

}  // namespace
}  // namespace quarnel
