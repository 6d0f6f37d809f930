
#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/ProgramInfo.h"
#include "devices/DriveIdentity.h"
#include "devices/VolumeLocking.h"
#include "erase/DriveRun.h"
#include "erase/EraseRecord.h"
#include "erase/FirmwareErase.h"
#include "erase/FormatEngine.h"
#include "erase/HiddenAreaRun.h"
#include "erase/Verification.h"
#include "host/HostConstants.h"
#include "reports/Health.h"
#include "reports/SmartReport.h"
#include "ui/TaskDialogs.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

// Marks the run as going for as long as it is in scope.
struct TInProgress {
  explicit TInProgress(bool& flag) : Flag(flag) { Flag = true; }
  ~TInProgress() { Flag = false; }
  bool& Flag;
};

void LogHead(const TDeviceTable& drive, const std::string& description) {
  AddLog(" ");
  AddLog("=================================================");
  AddLog(std::string(kProgramTitle) + "; " + kMakerUrl);
  AddLog("低级格式化: " + description);
  AddLog("设备容量: " + IntToStrGrouped(drive.IdentifyData.LBA) + " 扇区");
  AddLog("锁定设备... ");
}

}  // namespace

bool TDriveRun::FormatSelectedDevice() {
  TUiSeam& ui = ui_;
  const bool quickWipe = ui.QuickWipeChecked();
  const bool verify = ui.VerifyChecked();
  bool ran = false;
  bool complete = false;
  // From here on a close of the main window is put off until the end, also
  // while the confirmation is open.
  TInProgress running(inProgress_);
  // The drive's own erase: what it offers is read, and a method it does not
  // offer refused, before the question.
  const bool firmware = !ui.FirmwareChoice().empty();
  TFirmwareCaps caps;
  TFirmwareMethod method = TFirmwareMethod::Block;
  if (firmware && !ResolveFirmwareMethod(*this, ui.FirmwareChoice(), &caps, &method)) return false;
  // Asked before the question, so that it can name what the run will miss.
  const THiddenArea hidden = QueryDriveHiddenArea(handle_, drive_.IdentifyData);
  std::string content = "你真的确认你要删除 该设备上的所有数据吗?\r\n\r\n" + description_ +
                        (firmware ? FirmwareConfirmation(caps, method) : "");
  if (const std::string line = HiddenAreaConfirmationLine(hidden); !line.empty()) {
    content += "\r\n\r\n" + line;
  }
  // The verdict beside the drive: a failing drive is still erased on a yes,
  // but the person is told it should not be reused.
  const THealthAssessment health = QueryDriveHealth(handle_, drive_.IdentifyData);
  if (health.Verdict != THealthVerdict::Unknown) {
    content += "\r\n\r\n" + HealthConfirmationLine(health);
  }
  const int answer = ShowTaskDialog(ui, "警告", "所选设备上的所有数据将丢失", content,
                                    kIconWarning, kButtonYes | kButtonCancel);
  if (StopRequested()) {
    // The window was closed while the question was open: that is no Yes.
    ClearStopRequest();
    return false;
  }
  if (answer != kResultYes) return false;

  SetControlsEnabled(ui, false);
  ui.SetControlEnabled(TFormatControl::btCertificate, false);
  const TDeviceTable& drive = drive_;
  BeginEraseRecord(quickWipe && !firmware, verify && !firmware);
  if (TEraseRecord* record = ActiveEraseRecord()) {
    record->HiddenArea = hidden;
    // A drive that gives no SMART data has no verdict to keep.
    if (health.Verdict != THealthVerdict::Unknown) record->HealthBefore = health;
  }
  LogHead(drive, description_);
  const bool locked =
      locks_.LockDeviceVolumes(drive.DeviceNumber) && locks_.ClaimDeviceForFormat(handle_);
  // The last moment before the first write: the drive behind the handle
  // must still be the one named in the confirmation.
  if (locked && !ConfirmSameDrive(drive.Identity, handle_)) {
    NoteOutcome(TEraseOutcome::DriveChanged);
  } else if (locked) {
    // A drive's own erase cannot be stopped: its stop button stays disabled.
    if (!firmware) {
      ui.SetControlEnabled(TFormatControl::btStop, true);
      ui.FocusStop();
    }
    ui.RunStateChanged(true, !firmware);
    AddLog("格式化中... ");
    ui.SetProgressState(TProgressState::pbsNormal);
    if (firmware) {
      complete = RunFirmwareErase(*this, caps, method);
    } else {
      complete = RunLowLevelFormat(*this, quickWipe);
      if (complete && verify) {
        // The drive may have gone and another come under the same node while
        // the run flushed: a read-back of that one would prove nothing.
        if (ConfirmSameDrive(drive.Identity, handle_, true)) {
          complete = VerifyErasedDrive(*this, quickWipe);
        } else {
          NoteOutcome(TEraseOutcome::DriveChanged);
          complete = false;
        }
      }
    }
    ui.SetProgressState(TProgressState::pbsPaused);
    ui.RunStateChanged(false, false);
    ran = true;
    ui.SetControlEnabled(TFormatControl::btStop, false);
    for (const std::string& note : HiddenAreaRunNotes(hidden)) AddLog(note);
    if (health.Verdict == THealthVerdict::Failing) AddLog(HealthConfirmationLine(health));
  } else {
    AddLog("无法锁定设备。确保您没有在此设备上打开的文件，然后重试。 ");
    // What holds it, so the person knows what to close or take down.
    for (const std::string& holder : locks_.DriveHolders()) AddLog("占用此设备: " + holder);
    NoteOutcome(TEraseOutcome::NotLocked);
  }
  uint32_t returned = 0;
  host_.DeviceIoControl(handle_, win::kIOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0,
                        &returned);  // its result is not looked at
  locks_.ReleaseDeviceVolumes();
  if (ran) {
    AddLog("");
    AddLog("别忘了创建一个新的分区。");
  }
  EndEraseRecord();
  // A certificate is made from the record's file, so only of a saved one.
  ui.SetControlEnabled(TFormatControl::btCertificate, !lastFile_.empty());
  SetControlsEnabled(ui, true);
  return complete;
}

}  // namespace quarnel
