#include "base/System.h"

// <windows.h> first: the other SDK headers build on it.
// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include <atomic>
#include <iomanip>
#include <sstream>

#include "base/WideText.h"

namespace quarnel {

namespace {
std::atomic<bool> stopSignal{false};
bool catching = false;

// Runs on a thread of its own that the console starts: only the flag is set.
BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  stopSignal = true;
  return TRUE;
}

class TDecimalSeparator : public std::numpunct<char> {
 public:
  explicit TDecimalSeparator(char separator) : separator_(separator) {}

 protected:
  char do_decimal_point() const override { return separator_; }

 private:
  char separator_;
};
}  // namespace

std::string GetAppDataFolder() {
  wchar_t path[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, path) != S_OK) return {};
  std::string folder = Utf8FromWide(path);
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

// Windows elevates the user's own account: the folder is already the user's.
bool StartedOnBehalfOfUser() { return false; }

bool IsInvokingUsersPrivateFolder(const std::string&) { return false; }

bool RunAsInvokingUser(const std::function<bool()>& work) { return work(); }

std::string AdminRightsHint() { return "请右键单击 Quarnel，选择“以管理员身份运行”"; }

void CatchStopSignals(bool on) {
  if (on == catching) return;
  if (on) stopSignal = false;
  SetConsoleCtrlHandler(OnConsoleControl, on ? TRUE : FALSE);
  catching = on;
}

bool TakeStopSignal() { return stopSignal.exchange(false); }

namespace {
bool IsConsole(DWORD stream) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(stream), &mode) != 0;
}
}  // namespace

bool StdInIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }
bool StdErrIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

std::locale RegionalLocale() {
  // The runtime knows no locale but "C": only the decimal separator is taken
  // over; a separator beyond ASCII stays '.'.
  wchar_t separator[4] = {};
  char decimal = '.';
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 4) > 0 && separator[0] > 0 &&
      separator[0] < 0x80) {
    decimal = static_cast<char>(separator[0]);
  }
  return std::locale(std::locale::classic(), new TDecimalSeparator(decimal));
}

std::string RegionalDateTime(const std::tm& local) {
  SYSTEMTIME time = {};
  time.wYear = static_cast<WORD>(local.tm_year + 1900);
  time.wMonth = static_cast<WORD>(local.tm_mon + 1);
  time.wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time.wDay = static_cast<WORD>(local.tm_mday);
  time.wHour = static_cast<WORD>(local.tm_hour);
  time.wMinute = static_cast<WORD>(local.tm_min);
  time.wSecond = static_cast<WORD>(local.tm_sec);
  wchar_t date[128] = {};
  wchar_t clock[128] = {};
  if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128) > 0 &&
      GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, clock, 128) > 0) {
    return Utf8FromWide(date) + " " + Utf8FromWide(clock);
  }
  std::ostringstream out;  // a date the system cannot write: the runtime's form
  out << std::put_time(&local, "%x %X");
  return out.str();
}

}  // namespace quarnel
