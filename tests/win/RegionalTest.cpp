// Dates, times and the decimal separator from the user's regional settings,
// changed in the wine prefix for the test and given back afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>
#include <locale>
#include <string>

#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/System.h"

namespace quarnel {
namespace {

// One regional setting of the user, set for the test's lifetime.
class TUserSetting {
 public:
  TUserSetting(LCTYPE type, const wchar_t* value) : type_(type) {
    wchar_t old[80] = {};
    had_ = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, old, 80) > 0;
    old_ = old;
    set_ = SetLocaleInfoW(LOCALE_USER_DEFAULT, type, value) != FALSE;
  }
  ~TUserSetting() {
    if (set_ && had_) SetLocaleInfoW(LOCALE_USER_DEFAULT, type_, old_.c_str());
  }
  bool Set() const { return set_; }

 private:
  LCTYPE type_;
  bool had_ = false;
  bool set_ = false;
  std::wstring old_;
};

TEST(Regional, LogStampsAndDecimalPointFollowTheUsersSettings) {
  const TUserSetting date(LOCALE_SSHORTDATE, L"yyyy-MM-dd");
  const TUserSetting time(LOCALE_STIMEFORMAT, L"HH:mm:ss");
  const TUserSetting decimal(LOCALE_SDECIMAL, L",");
  ASSERT_TRUE(date.Set() && time.Set() && decimal.Set());

  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 8;
  local.tm_hour = 17;
  local.tm_min = 6;
  local.tm_sec = 36;
  local.tm_isdst = -1;
  const std::time_t moment = std::mktime(&local);
  SetLogClock([moment] { return moment; });
  EXPECT_EQ(DateTimeText(), "2026-12-08 17:06:36");
  SetLogClock(nullptr);

  const std::locale previous = std::locale::global(RegionalLocale());
  EXPECT_EQ(WithLocaleDecimalPoint("15.7"), "15,7");
  std::locale::global(previous);
}

}  // namespace
}  // namespace quarnel
