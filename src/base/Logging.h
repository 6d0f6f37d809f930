// The four log panes and their writers. Main and debug lines carry a local
// timestamp; the report panes take lines unchanged. A front end shows a pane
// by reading its lines and by listening for new ones.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace quarnel {

class TLogPane {
 public:
  using Listener = std::function<void(const std::string& line)>;

  explicit TLogPane(std::vector<std::string> initial = {}) : initial_(initial), lines_(initial) {}

  void Append(const std::string& line);
  const std::vector<std::string>& Lines() const { return lines_; }
  /// Called with every line appended from now on.
  void SetListener(Listener listener) { listener_ = std::move(listener); }
  /// Back to the pane's initial lines, without a listener (tests).
  void Reset();

 private:
  std::vector<std::string> initial_;
  std::vector<std::string> lines_;
  Listener listener_;
};

extern TLogPane Log_BenchMark;  // main log, format page
extern TLogPane Log_Details;    // device details page
extern TLogPane Log_Smart;      // S.M.A.R.T. page
extern TLogPane DebugMemo;      // the debug window's pane, starts with "调试窗口"

/// Debug mode: set once at start-up, never reset (but by tests).
extern bool DebugMode;

void AddLog(const std::string& text);
void AddDebugLog(const std::string& text);
void AddDetailsLog(const std::string& text);
void AddSmartLog(const std::string& text);

/// Local short date, a blank, the long time, in the C++ global locale.
std::string DateTimeText();

/// Clock for timestamps; tests fix it. An empty function means the system clock.
void SetLogClock(std::function<std::time_t()> clock);

/// Turns debug mode on when the first argument is "--debug" in any case.
/// Returns whether it did.
bool ActivateDebugMode(const std::vector<std::string>& arguments);

/// Empties the panes and clears debug mode and the clock (tests).
void ResetLogging();

}  // namespace quarnel
