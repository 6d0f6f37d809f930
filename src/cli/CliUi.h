// The terminal's side of the UI seam: messages and dialogs on standard error
// with answers read from standard input, the main log on standard output,
// and the format page's three labels redrawn on one line of standard error.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "base/NumberTexts.h"
#include "batch/BatchProtocol.h"
#include "cli/CliApp.h"
#include "erase/DriveRun.h"
#include "erase/StopRules.h"
#include "ui/UiSeam.h"

namespace quarnel {

class TCliUi : public TUiSeam {
 public:
  TCliUi(std::ostream& out, std::ostream& err, const TCliTerminal& terminal);
  ~TCliUi() override;

  /// The confirmation is answered with yes without asking (--yes).
  void AnswerYes(bool yes) { answerYes_ = yes; }
  /// Lines the next question shows after its own text (the drive's serial,
  /// path, the mode and the mounts a format takes down).
  void SetQuestionDetails(const std::string& lines) { details_ = lines; }

  /// One drive's run under a batch's supervisor: its log lines and progress
  /// go to standard error as the batch's events, and Ctrl+C and SIGTERM are
  /// caught from now to the end, so that a stop before the run begins still
  /// ends in a cancelled run with its record.
  void SetWorker();
  /// The stop rules, checked while a run that can be stopped goes.
  void SetStopRules(const TStopRules& rules);
  /// The run that Ctrl+C and the stop rules stop (nullptr: none).
  void SetRun(TDriveRun* run) { run_ = run; }
  /// Seconds from the start of the run to its end (0 when none ran).
  double RunSeconds() const { return runSeconds_; }

  /// How the last question ended without a yes.
  enum class TRefusal { None, Declined, NoTerminal, Interrupted };
  TRefusal LastRefusal() const { return refusal_; }

  void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon) override;
  int TaskDialog(const TTaskDialogRequest& request) override;
  int ClassicDialog(const TClassicDialogRequest& request) override;
  void ProcessMessages() override;
  void ShowRunAmounts(int64_t done, int64_t total) override;
  void RunStateChanged(bool running, bool stoppable) override;

  /// A batch member's last word for its supervisor: how its run ended.
  void WorkerOutcome(const TRunEnd& end);
  bool ErrIsTerminal() const { return terminal_.ErrIsTerminal; }

  /// A line of the main log (standard output) and of the debug log.
  void MainLine(const std::string& line);
  void DebugLine(const std::string& line);

 private:
  /// Shows a question and reads the answer; the result for a typed "yes".
  int Ask(const std::string& heading, const std::string& text, int buttons, int yesResult);
  void ClearProgress();
  void DrawProgress(bool now);
  std::string ProgressText() const;
  void CheckStopRules();

  std::ostream& out_;
  std::ostream& err_;
  TCliTerminal terminal_;
  bool answerYes_ = false;
  bool running_ = false;    // a run is in progress
  bool stoppable_ = false;  // and Ctrl+C stops it
  bool unstoppableSaid_ = false;
  bool progressShown_ = false;  // the progress line is on the terminal
  std::chrono::steady_clock::time_point lastDraw_{};
  std::string details_;
  TRefusal refusal_ = TRefusal::None;
  // The pass in hand (the run, then its read-back): when it began, and its
  // bytes done and in all.
  std::chrono::steady_clock::time_point passStart_{};
  int64_t done_ = 0;
  int64_t total_ = 0;
  // The last line written where standard error is no terminal: its
  // percentage and sector.
  std::string lastPlain_, lastPosition_;
  bool worker_ = false;
  int pass_ = 0;
  std::unique_ptr<TStopRuleWatch> watch_;
  TDriveRun* run_ = nullptr;
  bool ruleStopped_ = false;
  double runSeconds_ = 0;
  std::chrono::steady_clock::time_point runStart_{};
};


/// A table's rows as lines: `aligned`, each column padded to its widest cell
/// (in terminal columns: a CJK character takes two) and two blanks apart;
/// otherwise the cells separated by tabs, for scripts.
std::vector<std::string> ColumnLines(const std::vector<std::vector<std::string>>& rows,
                                     bool aligned);

/// The multi-line entries of a pane with the terminal's line ends, every
/// other control character but tabs made visible (VisibleText).
std::string TerminalLine(std::string line);

}  // namespace quarnel
