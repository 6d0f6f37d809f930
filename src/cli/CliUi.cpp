#include "cli/CliUi.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <ostream>

#include "base/NumberTexts.h"
#include "base/System.h"
#include "base/Text.h"
#include "ui/TaskDialogs.h"

namespace quarnel {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

std::vector<std::string> ColumnLines(const std::vector<std::vector<std::string>>& rows,
                                     bool aligned) {
  std::vector<size_t> width;
  for (const auto& row : rows) {
    if (width.size() < row.size()) width.resize(row.size(), 0);
    for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], DisplayWidth(row[c]));
  }
  std::vector<std::string> lines;
  for (const auto& row : rows) {
    std::string line;
    for (size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 == row.size()) break;
      line += aligned ? std::string(width[c] - DisplayWidth(row[c]) + 2, ' ') : "\t";
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string TerminalLine(std::string line) {
  // Line ends and tabs are the panes' own layout; any other control character
  // that got this far is shown, not sent to the terminal.
  std::string out, piece;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n') continue;
    if (line[i] != '\n' && line[i] != '\t') {
      piece += line[i];
      continue;
    }
    out += VisibleText(piece) + line[i];
    piece.clear();
  }
  return out + VisibleText(piece);
}

TCliUi::TCliUi(std::ostream& out, std::ostream& err, const TCliTerminal& terminal)
    : out_(out), err_(err), terminal_(terminal) {}

TCliUi::~TCliUi() { CatchStopSignals(false); }

void TCliUi::SetWorker() {
  worker_ = true;
  CatchStopSignals(true);
}

void TCliUi::SetStopRules(const TStopRules& rules) {
  watch_ = rules.Any() ? std::make_unique<TStopRuleWatch>(rules) : nullptr;
}

namespace {

int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

void TCliUi::CheckStopRules() {
  if (!watch_ || !run_ || ruleStopped_ || !running_ || !stoppable_) return;
  const bool unknownBefore = watch_->TemperatureUnknown();
  TDriveRun& run = *run_;
  const TStopRule broken = watch_->Check(SteadyMs(), done_, [&run](int* celsius) {
    return ReadDriveTemperature(run.DeviceHandle(), run.Drive().IdentifyData, celsius);
  });
  if (!unknownBefore && watch_->TemperatureUnknown()) {
    MainLine("stop-above: the drive reports no temperature; the rule does not apply to it");
  }
  if (broken.Rule.empty()) return;
  ruleStopped_ = true;
  run.NoteStopRule(broken);
  MainLine(broken.Rule == "stop-above"
               ? "stop-above: the drive reports " + DecText(static_cast<int64_t>(broken.Value)) +
                     " °C, above " + DecText(static_cast<int64_t>(broken.Limit)) +
                     " °C: stopping this drive"
               : "stop-below: " + MbpsText(broken.Value) + " MB/s over the last " +
                     DecText(kSpeedWindowMs / 1000) + " s, below " + MbpsText(broken.Limit) +
                     " MB/s: stopping this drive");
  run.StopButtonClicked();
}

void TCliUi::ShowMessage(const std::string& text, const std::string& caption, TMessageIcon) {
  if (worker_) {
    err_ << LogEvent(caption + ": " + text) << std::flush;
    return;
  }
  ClearProgress();
  err_ << caption << ": " << TerminalLine(text) << "\n";
}

int TCliUi::Ask(const std::string& heading, const std::string& text, int buttons, int yesResult) {
  if (worker_ && answerYes_) {
    // A batch member: the batch's own question named this drive and was answered.
    details_.clear();
    refusal_ = TRefusal::None;
    return yesResult;
  }
  ClearProgress();
  err_ << "\n" << heading << "\n\n" << TerminalLine(text) << "\n\n";
  if (!details_.empty()) err_ << details_ << "\n";
  details_.clear();
  const int refusal = (buttons & kButtonCancel) ? kResultCancel : kResultNo;
  refusal_ = TRefusal::None;
  if (answerYes_) {
    err_ << "Answered yes (--yes).\n";
    return yesResult;
  }
  if (!terminal_.In || !terminal_.InIsTerminal) {
    err_ << "quarnel-cli: no terminal to answer at; give --yes to answer yes. Nothing was done.\n";
    refusal_ = TRefusal::NoTerminal;
    return refusal;
  }
  err_ << "Type yes to go ahead; anything else cancels: " << std::flush;
  // Ctrl+C while the question waits ends the wait, not the program: it is
  // said, and the caller ends with the interrupt's status.
  CatchStopSignals(true);
  std::string answer;
  const bool read = static_cast<bool>(std::getline(*terminal_.In, answer));
  const bool interrupted = TakeStopSignal();
  CatchStopSignals(running_ || worker_);
  if (interrupted) {
    if (!read) terminal_.In->clear();
    err_ << "\nInterrupted. Nothing was done.\n";
    refusal_ = TRefusal::Interrupted;
    return refusal;
  }
  if (read && Trim(answer) == "yes") return yesResult;
  // Ctrl+D leaves the cursor on the question's line.
  err_ << (read ? "" : "\n") << "Cancelled. Nothing was done.\n";
  refusal_ = TRefusal::Declined;
  return refusal;
}

int TCliUi::TaskDialog(const TTaskDialogRequest& request) {
  // The task dialog's own button codes: Yes 6, OK 1.
  const int yes = (request.Buttons & kButtonYes) ? 6 : 1;
  return Ask(request.Title + "\n" + request.MainInstruction, request.Content, request.Buttons, yes);
}

int TCliUi::ClassicDialog(const TClassicDialogRequest& request) {
  const int yes = (request.Buttons & kButtonYes) ? kResultYes : kResultOk;
  return Ask(request.Caption, request.Text, request.Buttons, yes);
}

void TCliUi::ProcessMessages() {
  CheckStopRules();
  if (TakeStopSignal()) {
    if (stoppable_) {
      if (run_) run_->StopButtonClicked();
    } else if (!unstoppableSaid_) {
      unstoppableSaid_ = true;
      DebugLine("The drive's own erase cannot be stopped; waiting for its end.");
    }
  }
  DrawProgress(false);
}

void TCliUi::ShowRunAmounts(int64_t done, int64_t total) {
  // A pass that starts over (the read-back after the run) has a clock of
  // its own.
  if (total != total_ || done < done_) {
    passStart_ = std::chrono::steady_clock::now();
    ++pass_;
    if (watch_) watch_->StartPass(SteadyMs());
  }
  done_ = done;
  total_ = total;
}

void TCliUi::RunStateChanged(bool running, bool stoppable) {
  if (running == running_) return;
  running_ = running;
  stoppable_ = running && stoppable;
  // Ctrl+C and SIGTERM are the stop button while a run goes; a run that
  // cannot be stopped keeps them too, so the program is not killed midway
  // and the run still ends with its lines and its record.
  CatchStopSignals(running || worker_);
  if (running) {
    passStart_ = runStart_ = std::chrono::steady_clock::now();
    pass_ = 0;
    ruleStopped_ = false;
    if (watch_) watch_->StartPass(SteadyMs());
    done_ = total_ = 0;
    lastPlain_.clear();
    unstoppableSaid_ = false;
    return;
  }
  runSeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - runStart_).count();
  // The run is over: leave its last figures on their own line.
  DrawProgress(true);
  if (progressShown_) err_ << "\n";
  progressShown_ = false;
}

void TCliUi::WorkerOutcome(const TRunEnd& end) { err_ << OutcomeEvent(end) << std::flush; }

void TCliUi::MainLine(const std::string& line) {
  if (worker_) {
    err_ << LogEvent(line) << std::flush;
    return;
  }
  ClearProgress();
  out_ << line << "\n" << std::flush;
}

void TCliUi::DebugLine(const std::string& line) {
  if (worker_) {
    err_ << LogEvent(line) << std::flush;
    return;
  }
  ClearProgress();
  err_ << line << "\n" << std::flush;
}

void TCliUi::ClearProgress() {
  if (!progressShown_) return;
  err_ << "\r\033[K" << std::flush;
  progressShown_ = false;
}

std::string TCliUi::ProgressText() const {
  std::string text = Caption(TFormatLabel::lbCurrentPercent) + "   " +
                     Caption(TFormatLabel::lbCurrentPosition) + "   " +
                     Caption(TFormatLabel::lbSpeed);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - passStart_)
                           .count();
  if (total_ > 0) text += "   " + SizeToStr(done_) + " of " + SizeToStr(total_);
  text += "   elapsed " + ClockText(static_cast<double>(elapsed / 1000));
  // The time left at the pass's own average so far, once a second has passed.
  if (const double left = SecondsLeft(done_, total_, elapsed); elapsed >= 1000 && left >= 0) {
    text += "   left " + ClockText(left);
  }
  return text;
}

void TCliUi::DrawProgress(bool now) {
  if (!running_ && !now) return;
  if (worker_) {
    // For the supervisor: raw figures, a few times a second and at the end.
    const auto time = std::chrono::steady_clock::now();
    if (!now && time - lastDraw_ < std::chrono::milliseconds(250)) return;
    lastDraw_ = time;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(time - passStart_).count();
    err_ << ProgressEvent({done_, total_, static_cast<int64_t>(elapsed), pass_}) << std::flush;
    return;
  }
  if (!terminal_.ErrIsTerminal) {
    // A log, ssh or a service: one plain line whenever the percentage moves.
    // At the end also when only the sector moved, so the last line is the
    // run's last position.
    const std::string percent = Caption(TFormatLabel::lbCurrentPercent);
    const std::string key = now ? percent + Caption(TFormatLabel::lbCurrentPosition) : percent;
    if (percent.empty() || key == lastPlain_ || (now && percent + lastPosition_ == key)) {
      return;
    }
    lastPlain_ = percent;
    lastPosition_ = Caption(TFormatLabel::lbCurrentPosition);
    err_ << ProgressText() << "\n" << std::flush;
    return;
  }
  const auto time = std::chrono::steady_clock::now();
  if (!now && progressShown_ && time - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = time;
  err_ << "\r\033[K" << ProgressText() << std::flush;
  progressShown_ = true;
}

}  // namespace quarnel
