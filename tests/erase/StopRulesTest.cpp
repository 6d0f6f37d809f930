#include <gtest/gtest.h>

#include "erase/StopRules.h"

namespace quarnel {
namespace {

TEST(StopRules, SpeedIsJudgedOverTheLastWindowOnlyAfterTheFirstMinute) {
  TStopRuleWatch watch({50, 0});
  watch.StartPass(0);
  // 10 MB/s from the start: nothing before the minute is up.
  int64_t ms = 0;
  for (; ms < kSpeedGraceMs; ms += 1000) EXPECT_TRUE(watch.Check(ms, ms * 10'000, {}).Rule.empty());
  const TStopRule broken = watch.Check(ms, ms * 10'000, {});
  EXPECT_EQ(broken.Rule, "stop-below");
  EXPECT_NEAR(broken.Value, 10.0, 0.01);
  EXPECT_EQ(broken.Limit, 50);

  // Slow at first, fast over the last 30 s: the past does not count.
  TStopRuleWatch recovering({50, 0});
  recovering.StartPass(0);
  int64_t bytes = 0;
  for (ms = 0; ms <= 90'000; ms += 1000) {
    bytes += ms <= 25'000 ? 1'000'000 : 100'000'000;
    EXPECT_TRUE(recovering.Check(ms, bytes, {}).Rule.empty()) << ms;
  }
  // A new pass (the read-back) has its own first minute.
  recovering.StartPass(100'000);
  EXPECT_TRUE(recovering.Check(130'000, 1, {}).Rule.empty());
}

TEST(StopRules, TemperatureIsAskedEveryHalfMinuteAndANonAnswerDisablesTheRule) {
  int asked = 0, celsius = 40;
  const auto sensor = [&](int* c) {
    ++asked;
    *c = celsius;
    return true;
  };
  TStopRuleWatch watch({0, 55});
  watch.StartPass(0);
  EXPECT_TRUE(watch.Check(0, 0, sensor).Rule.empty());
  EXPECT_TRUE(watch.Check(29'000, 0, sensor).Rule.empty());
  EXPECT_EQ(asked, 1);
  celsius = 56;
  const TStopRule hot = watch.Check(30'000, 0, sensor);
  EXPECT_EQ(hot.Rule, "stop-above");
  EXPECT_EQ(hot.Value, 56);

  TStopRuleWatch silent({0, 55});
  int tries = 0;
  const auto none = [&](int*) { return ++tries, false; };
  EXPECT_TRUE(silent.Check(0, 0, none).Rule.empty());
  EXPECT_TRUE(silent.Check(60'000, 0, none).Rule.empty());
  EXPECT_EQ(tries, 1);
  EXPECT_TRUE(silent.TemperatureUnknown());
}

}  // namespace
}  // namespace quarnel
