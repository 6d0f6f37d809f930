#include "cli/CliUi.h"

#include <istream>
#include <ostream>

#include "base/System.h"
#include "base/Text.h"
#include "format/FormatProcedure.h"
#include "ui/TaskDialogs.h"

namespace quarnel {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

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

void TCliUi::ShowMessage(const std::string& text, const std::string& caption, TMessageIcon) {
  ClearProgress();
  err_ << caption << ": " << TerminalLine(text) << "\n";
}

int TCliUi::Ask(const std::string& heading, const std::string& text, int buttons, int yesResult) {
  ClearProgress();
  err_ << "\n" << heading << "\n\n" << TerminalLine(text) << "\n\n";
  const int refusal = (buttons & kButtonCancel) ? kResultCancel : kResultNo;
  if (answerYes_) {
    err_ << "Answered yes (--yes).\n";
    return yesResult;
  }
  if (!terminal_.In || !terminal_.InIsTerminal) {
    err_ << "quarnel-cli: no terminal to answer at; give --yes to answer yes. Nothing was done.\n";
    return refusal;
  }
  err_ << "Type yes to go ahead; anything else cancels: " << std::flush;
  std::string answer;
  if (!std::getline(*terminal_.In, answer)) answer.clear();
  if (Trim(answer) == "yes") return yesResult;
  err_ << "Cancelled. Nothing was done.\n";
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
  if (TakeStopSignal()) StopButtonClicked();
  DrawProgress(false);
}

void TCliUi::ShowFormatPage(const TFormatPage& page) {
  const bool enabled = page.Enabled[static_cast<int>(TFormatControl::btStop)];
  if (enabled == running_) return;
  running_ = enabled;
  CatchStopSignals(enabled);
  if (!enabled) {
    // The run is over: leave its last figures on their own line.
    DrawProgress(true);
    if (progressShown_) err_ << "\n";
    progressShown_ = false;
  }
}

void TCliUi::MainLine(const std::string& line) {
  ClearProgress();
  out_ << line << "\n" << std::flush;
}

void TCliUi::DebugLine(const std::string& line) {
  ClearProgress();
  err_ << line << "\n" << std::flush;
}

void TCliUi::ClearProgress() {
  if (!progressShown_) return;
  err_ << "\r\033[K" << std::flush;
  progressShown_ = false;
}

void TCliUi::DrawProgress(bool now) {
  if (!terminal_.ErrIsTerminal || (!running_ && !now)) return;
  const auto time = std::chrono::steady_clock::now();
  if (!now && progressShown_ && time - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = time;
  err_ << "\r\033[K" << Caption(TFormatLabel::lbCurrentPercent) << "   "
       << Caption(TFormatLabel::lbCurrentPosition) << "   " << Caption(TFormatLabel::lbSpeed)
       << std::flush;
  progressShown_ = true;
}

}  // namespace quarnel
