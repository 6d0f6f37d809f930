#include "app/Desktop.h"

#include "app/EraseContextForm.h"
#include "app/MainStartUp.h"
#include "app/MainState.h"
#include "app/StartUp.h"
#include "base/Logging.h"
#include "base/ProgramInfo.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "erase/EraseRecord.h"
#include "reports/DeviceDetails.h"
#include "reports/Health.h"

namespace quarnel {

int ShownLines(const TLogPane& pane) {
  int count = 0;
  for (const std::string& line : pane.Lines()) {
    ++count;
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n') continue;
      if (line[i] == '\n' || line[i] == '\r') ++count;
    }
  }
  return count;
}

TDesktop::TDesktop(TWindowFactory& windows, std::vector<std::string> arguments,
                   std::string programFile, bool station)
    : windows_(windows),
      arguments_(std::move(arguments)),
      program_file_(std::move(programFile)),
      station_(station) {
  SetUi(&windows_.Seam());
  main_ = windows_.CreateMainWindow();
  chooser_ = windows_.CreateChooser();
  agreement_ = windows_.CreateAgreement();
  RunAgreement(*agreement_);
  debug_ = windows_.CreateDebugWindow();
}

TDesktop::~TDesktop() {
  // The windows go after the seam that points at them, last made first.
  SetUi(nullptr);
  debug_.reset();
  agreement_.reset();
  chooser_.reset();
  main_.reset();
}

bool TDesktop::FirstShow() {
  const bool checked = RunStartUpChecks(arguments_, program_file_);
  if (DebugMode) debug_->Show();
  if (!checked) return false;
  main_->SetTitle(MainWindowTitle());
  chooser_->SetTitles(kProgramTitle, ChooserHeaderText());
  ScanDevices();
  WriteStartUpWarnings();

  // A pending end (a declined agreement, a drive the scan could not query)
  // closes every modal window at once: none is shown, nothing is chosen.
  if (DebugMode && !ProgramEndRequested()) debug_->ShowModal();
  if (ProgramEndRequested() || station_) return false;
  if (!ChooseDevice(*chooser_)) {
    if (StationChosen && !ProgramEndRequested()) {
      station_ = true;
      return false;
    }
    RequestProgramEnd(0);
    return false;
  }
  DeviceDescription = GetDeviceDescription(DeviceTable, SelectedDevice);
  main_->ShowDiskName(DeviceDescription);
  if (!OpenSelectedDevice()) return false;
  main_->ShowStatusDescription(DeviceDescription);
  const int start = ShownLines(Log_Details);
  ShowDeviceDetails();
  main_->ScrollReportTo(Log_Details, start);
  return true;
}

bool TDesktop::Show() {
  if (!shown_once_) {
    shown_once_ = true;
    // When the start-up ends the program, the window never appears.
    if (!FirstShow()) return false;
  }
  main_->Show();
  return true;
}

int TDesktop::Run() {
  const bool shown = Show();
  if (ProgramEndRequested()) return ProgramExitCode();
  if (!shown && station_) return windows_.RunStation();
  if (!shown) return ProgramExitCode();
  windows_.RunUntilClosed();
  return ProgramExitCode();
}

void FormatButtonClicked(TMainWindowView& main) {
  // Who erases it, for whom, where: asked before the run's own question.
  TEraseContext context;
  if (MainEraseRecordWanted() && !AskEraseContext(&context)) return;
  FormatSelectedDevice(context);
  // A close during the run was put off until now.
  if (CloseDeferredByFormat()) main.Close();
}

void SmartButtonClicked(TMainWindowView& main) {
  const int start = ShownLines(Log_Smart);
  const THealthAssessment assessment = RunSmartReport();
  main.ScrollReportTo(Log_Smart, start);
  // The panel is narrow: the verdict's word alone; the page says the rest.
  main.ShowHealthVerdict(HealthVerdictText(assessment.Verdict));
}

}  // namespace quarnel
