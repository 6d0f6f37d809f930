#include "ui/UiSeam.h"

#include "host/Host.h"

namespace quarnel {

namespace {
class TRecordingUi : public TUiSeam {
 public:
  void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon) override {
    last = caption + ": " + text;
  }
  std::string last;
};

TRecordingUi& DefaultUi() {
  static TRecordingUi ui;
  return ui;
}

TUiSeam* current = nullptr;
bool endRequested = false;
int exitCode = 0;
}  // namespace

bool TUiSeam::ShowsTaskDialogs() const { return GetHost().GetVersion().Major >= 6; }

void TUiSeam::SetProgressPosition(int position) {
  page_.Position = position;
  ShowFormatPage(page_);
}

void TUiSeam::SetProgressState(TProgressState state) {
  page_.State = state;
  ShowFormatPage(page_);
}

void TUiSeam::SetCaption(TFormatLabel label, const std::string& text) {
  page_.Captions[static_cast<int>(label)] = text;
  ShowFormatPage(page_);
}

void TUiSeam::SetControlEnabled(TFormatControl control, bool enabled) {
  page_.Enabled[static_cast<int>(control)] = enabled;
  ShowFormatPage(page_);
}

void TUiSeam::FocusStop() {
  page_.StopFocused = true;
  ShowFormatPage(page_);
  FocusStopButton();
}

void TUiSeam::SetQuickWipe(bool on) {
  page_.QuickWipe = on;
  ShowFormatPage(page_);
}

void TUiSeam::SetVerify(bool on) {
  page_.Verify = on;
  ShowFormatPage(page_);
}

void TUiSeam::SetFirmwareChoice(const std::string& choice) {
  page_.FirmwareChoice = choice;
  ShowFormatPage(page_);
}

void TUiSeam::SetFirmwareMethods(const std::vector<std::string>& methods) {
  page_.FirmwareMethods = methods;
  // A drive that offers nothing leaves nothing to choose.
  page_.Enabled[static_cast<int>(TFormatControl::cbFirmware)] = !methods.empty();
  page_.Enabled[static_cast<int>(TFormatControl::cbFirmwareMethod)] = !methods.empty();
  page_.FirmwareChoice.clear();  // another drive's list: nothing chosen yet
  page_.FirmwareIndex = 0;
  ShowFormatPage(page_);
}

void TUiSeam::ChooseFirmware(bool on, int index) {
  const auto& methods = page_.FirmwareMethods;
  const bool valid = index >= 0 && static_cast<size_t>(index) < methods.size();
  page_.FirmwareIndex = valid ? index : 0;
  page_.FirmwareChoice = on && valid ? methods[static_cast<size_t>(index)] : "";
  ShowFormatPage(page_);
}

void SetControlsEnabled(bool enabled) { SetControlsEnabled(Ui(), enabled); }

void SetControlsEnabled(TUiSeam& ui, bool enabled) {
  ui.SetControlEnabled(TFormatControl::btRunBenchmarks, enabled);
  ui.SetControlEnabled(TFormatControl::btGetSmart, enabled);
  ui.SetControlEnabled(TFormatControl::cbQuickWipe, enabled);
  ui.SetControlEnabled(TFormatControl::cbVerify, enabled);
  const bool offered = !ui.Page().FirmwareMethods.empty();
  ui.SetControlEnabled(TFormatControl::cbFirmware, enabled && offered);
  ui.SetControlEnabled(TFormatControl::cbFirmwareMethod, enabled && offered);
}

TUiSeam& Ui() { return current ? *current : DefaultUi(); }
void SetUi(TUiSeam* ui) { current = ui; }
const std::string& LastMessageText() { return DefaultUi().last; }

void RequestProgramEnd(int code) {
  if (!endRequested) exitCode = code;
  endRequested = true;
}
bool ProgramEndRequested() { return endRequested; }
int ProgramExitCode() { return exitCode; }

void ResetUi() {
  current = nullptr;
  endRequested = false;
  exitCode = 0;
  DefaultUi() = TRecordingUi();
}

}  // namespace quarnel
