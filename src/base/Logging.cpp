#include "base/Logging.h"


#include "base/System.h"
#include "base/Text.h"

namespace quarnel {

TLogPane Log_BenchMark;
TLogPane Log_Details;
TLogPane Log_Smart;
TLogPane DebugMemo({"调试窗口"});
bool DebugMode = false;

namespace {
std::function<std::time_t()>& LogClock() {
  static std::function<std::time_t()> clock;
  return clock;
}

std::string Stamped(const std::string& text) { return DateTimeText() + "   " + text; }
}  // namespace

void TLogPane::Append(const std::string& line) {
  lines_.push_back(line);
  if (listener_) listener_(line);
}

void TLogPane::Reset() {
  lines_ = initial_;
  listener_ = nullptr;
}

void AddLog(const std::string& text) { Log_BenchMark.Append(Stamped(text)); }

void AddDebugLog(const std::string& text) {
  if (DebugMode) DebugMemo.Append(Stamped(text));
}

void AddDetailsLog(const std::string& text) { Log_Details.Append(text); }

void AddSmartLog(const std::string& text) { Log_Smart.Append(text); }

std::string DateTimeText() {
  const std::time_t now = LogClock() ? LogClock()() : std::time(nullptr);
  std::tm local{};
  if (const std::tm* tm = std::localtime(&now)) local = *tm;
  return RegionalDateTime(local);
}

void SetLogClock(std::function<std::time_t()> clock) { LogClock() = std::move(clock); }

bool ActivateDebugMode(const std::vector<std::string>& arguments) {
  const std::string first = arguments.empty() ? std::string() : arguments.front();
  std::string lower = first;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (lower != "--debug") return false;
  DebugMode = true;
  AddDebugLog("Debug mode activated");
  return true;
}

void ResetLogging() {
  Log_BenchMark.Reset();
  Log_Details.Reset();
  Log_Smart.Reset();
  DebugMemo.Reset();
  DebugMode = false;
  LogClock() = nullptr;
}

}  // namespace quarnel
