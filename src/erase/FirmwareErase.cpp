#include "erase/FirmwareErase.h"

#include <string>

#include "ata/AtaSanitize.h"
#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/Text.h"
#include "erase/DriveRun.h"
#include "devices/DriveIdentity.h"
#include "erase/EraseRecord.h"
#include "erase/FormatEngine.h"
#include "erase/SampleCheck.h"
#include "nvme/NvmeErase.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

enum class TState { Running, Done, Failed };

struct TPoll {
  bool Read = false;
  TState State = TState::Running;
  uint32_t Progress = 0;  // of 65536
  std::string Text;       // the drive's answer in words, for a failure
};

TPoll PollNvme(THandle handle) {
  TPoll p;
  uint8_t log[512] = {};
  if (!NvmeReadSanitizeLog(handle, log)) return p;
  const TNvmeSanitizeStatus s = DecodeNvmeSanitizeStatus(log);
  p.Read = true;
  p.Progress = s.Progress;
  if (s.State == 1 || s.State == 4) p.State = TState::Done;
  if (s.State == 3) {
    p.State = TState::Failed;
    p.Text = "sanitize status log: failed (SSTAT 3)";
  }
  return p;
}

TPoll PollAta(THandle handle, uint8_t driveNumber) {
  TPoll p;
  TAtaTaskFile r;
  if (!AtaSendSanitize(handle, AtaSanitizeCommand(TAtaSanitize::Status, driveNumber),
                       kSanitizeTimeoutSeconds, &r)) {
    return p;
  }
  const TAtaSanitizeStatus s = DecodeAtaSanitizeStatus(r);
  p.Read = true;
  p.Progress = s.Progress;
  if (s.InProgress) return p;
  if (s.CompletedWithoutError && !s.Aborted) {
    p.State = TState::Done;
  } else {
    p.State = TState::Failed;
    p.Text = s.Aborted ? AtaSanitizeReasonText(s.Reason) : "sanitize did not complete";
  }
  return p;
}

void ShowFirmwareProgress(TUiSeam& ui, uint32_t progress) {
  const int percent = static_cast<int>(RoundEven(progress * 100.0 / 65536.0));
  ui.SetProgressPosition(percent);
  ui.SetCaption(TFormatLabel::lbCurrentPercent, DecText(percent) + "% 完成");
}

// Sends the command. False when it did not reach the drive or the drive
// refused it; the record holds what came back.
bool SendCommand(THandle handle, const TFirmwareCaps& caps, TFirmwareMethod method,
                 TFirmwareErase& note) {
  uint32_t status = 0;
  if (caps.Nvme) {
    TNvmeCommand command{};
    uint32_t timeout = kSanitizeTimeoutSeconds * 1000u;
    const uint32_t nsid = caps.FormatAllNamespaces ? kNvmeAllNamespaces : kNvmeOwnNamespace;
    TNvmeNamespace ns;
    ns.FormattedLbaSize = caps.Flbas;
    ns.ProtectionSettings = caps.Dps;
    switch (method) {
      case TFirmwareMethod::FormatUser:
        command = NvmeFormatCommand(nsid, ns, 1);
        timeout = kFormatNvmTimeoutMs;
        break;
      case TFirmwareMethod::FormatCrypto:
        command = NvmeFormatCommand(nsid, ns, 2);
        timeout = kFormatNvmTimeoutMs;
        break;
      case TFirmwareMethod::Block:
        command = NvmeSanitizeCommand(2);
        break;
      case TFirmwareMethod::Overwrite:
        command = NvmeSanitizeCommand(3);
        break;
      case TFirmwareMethod::Crypto:
        command = NvmeSanitizeCommand(4);
        break;
    }
    if (!NvmeSendErase(handle, command, timeout, &status)) return false;
    note.Sent = true;
    note.Status = status;
    note.StatusText = NvmeStatusText(status);
    return status == 0;
  }
  const TAtaSanitize sub = method == TFirmwareMethod::Block    ? TAtaSanitize::BlockErase
                           : method == TFirmwareMethod::Crypto ? TAtaSanitize::CryptoScramble
                                                               : TAtaSanitize::Overwrite;
  TAtaTaskFile r;
  if (!AtaSendSanitize(handle, AtaSanitizeCommand(sub, caps.DriveNumber),
                       kSanitizeTimeoutSeconds, &r)) {
    return false;
  }
  note.Sent = true;
  note.Status =
      static_cast<uint32_t>(r.Current.Features) << 8 | r.Current.Command;  // error, status
  const TAtaSanitizeStatus s = DecodeAtaSanitizeStatus(r);
  note.StatusText = s.Aborted ? AtaSanitizeReasonText(s.Reason) : "accepted";
  return !s.Aborted;
}

// Reads the drive's progress every second until it ends, fails or stalls.
bool FollowProgress(TDriveRun& run, const TFirmwareCaps& caps, TFirmwareMethod method,
                    TFirmwareErase& note) {
  const THandle handle = run.DeviceHandle();
  const bool format =
      method == TFirmwareMethod::FormatUser || method == TFirmwareMethod::FormatCrypto;
  if (format) return true;  // the command itself ran to the end
  int64_t still = 0;
  uint32_t last = 0;
  bool seen = false;
  for (;;) {
    run.GetHost().Sleep(1000);
    run.Ui().ProcessMessages();
    const TPoll p = caps.Nvme ? PollNvme(handle) : PollAta(handle, caps.DriveNumber);
    if (p.Read && p.State == TState::Done) return true;
    if (p.Read && p.State == TState::Failed) {
      note.StatusText = p.Text;
      AddLog("驱动器报告擦除失败: " + p.Text);
      return false;
    }
    if (p.Read && (!seen || p.Progress != last)) {
      seen = true;
      last = p.Progress;
      still = 0;
      ShowFirmwareProgress(run.Ui(), p.Progress);
    } else if (++still >= kFirmwareStallPolls) {
      note.StatusText = "progress stalled";
      AddLog("驱动器的擦除进度已 " + DecText(still) + " 秒没有变化，运行未完成。");
      return false;
    }
  }
}

void LogSampleCheck(const TSampleCheck& c) {
  AddLog("抽样检查: " + DecText(c.Sectors) + " 个扇区, 已改变 " + DecText(c.Changed) + ", 未改变 " +
         DecText(c.Unchanged) + ", 与驱动器声明的值不符 " + DecText(c.WrongPattern) +
         ", 擦除前已为空 " + DecText(c.BlankBefore) + ", 无法读取 " + DecText(c.Unreadable));
  if (c.Result == TSampleResult::Erased) {
    AddLog("抽样检查结果: 抽样扇区的数据已清除。");
  } else if (c.Result == TSampleResult::NotErased) {
    AddLog("抽样检查结果: 数据未清除！驱动器报告的结果与抽样扇区不符。");
  } else {
    AddLog("抽样检查结果: 无法判断（抽样扇区在擦除前已为空或无法读取），不作为擦除的证明。");
  }
}

}  // namespace

bool RunFirmwareErase(TDriveRun& run, const TFirmwareCaps& caps, TFirmwareMethod method) {
  const TIdentifyDeviceData& id = run.Drive().IdentifyData;
  const THandle handle = run.DeviceHandle();
  Host& host = run.GetHost();
  TFirmwareErase note;
  note.Method = method;
  note.Command = FirmwareCommandFor(method, caps.Nvme);
  note.AllNamespaces = caps.CoversAllNamespaces(method);
  const TErasedPattern expected = ExpectedAfter(caps, method);
  const std::vector<int64_t> sectors = SampleSectors(id.LBA, id.SectorSize);
  AddLog("抽样读取 " + IntToStrGrouped(static_cast<int64_t>(sectors.size())) + " 个扇区... ");
  const auto before = ReadSample(host, handle, sectors, id.SectorSize, expected);
  bool ok = false;
  bool changed = false;  // the drive behind the handle is another one now
  TSampleCheck check;
  if (caps.Ata && caps.SanitizeFrozen) {
    AddLog("驱动器的 SANITIZE 已冻结，未发送任何命令。请让驱动器断电再上电后重试。");
    note.StatusText = "sanitize frozen";
  } else {
    AddLog("驱动器自身擦除中: " + FirmwareMethodText(method));
    AddLog("驱动器自身的擦除无法中途停止，请等待它结束。");
    AddDebugLog(std::string("Firmware erase: ") + FirmwareMethodName(method) + " by " +
                FirmwareCommandName(note.Command));
    run.Ui().SetCaption(TFormatLabel::lbCurrentPosition, "驱动器自身擦除");
    ShowFirmwareProgress(run.Ui(), 0);
    if (!SendCommand(handle, caps, method, note)) {
      AddLog(note.Sent ? "驱动器拒绝了擦除命令: " + note.StatusText
                       : "无法发送擦除命令: " + SystemErrorText(host.GetLastError()));
    } else if (FollowProgress(run, caps, method, note)) {
      ShowFirmwareProgress(run.Ui(), 65536);
      AddLog("驱动器报告擦除完成。");
      // Another drive under the same node would make the sample say nothing.
      if (ConfirmSameDrive(run.Drive().Identity, handle, true)) {
        const auto after = ReadSample(host, handle, sectors, id.SectorSize, expected);
        check = CompareSamples(before, after, expected);
        LogSampleCheck(check);
        ok = check.Result != TSampleResult::NotErased;
      } else {
        changed = true;
      }
    }
  }
  // The drive's own erase cannot be stopped: a stop asked for meanwhile
  // (a close of the window) waited for its end and is spent.
  run.ClearStopRequest();
  AddLog(ok ? "驱动器自身擦除完成。" : "驱动器自身擦除未完成。");
  if (TEraseRecord* r = run.ActiveEraseRecord()) {
    r->FirmwareRun = true;
    r->FirmwareErase = note;
    r->SampleCheck = check;
  }
  run.NoteOutcome(ok        ? TEraseOutcome::Complete
                  : changed ? TEraseOutcome::DriveChanged
                            : TEraseOutcome::Failed);
  return ok;
}

bool ResolveFirmwareMethod(TDriveRun& run, const std::string& choice, TFirmwareCaps* caps,
                           TFirmwareMethod* method) {
  TUiSeam& ui = run.Ui();
  *caps = ReadFirmwareCaps(run.DeviceHandle(), run.Drive().IdentifyData);
  if (caps->Offered.empty()) {
    ui.ShowMessage("驱动器不提供自身擦除命令。", "错误", TMessageIcon::Error);
    return false;
  }
  if (choice == "auto") {
    *method = caps->Offered.front();
  } else {
    const auto named = FirmwareMethodFromName(choice);
    if (!named || !caps->Offers(*named)) {
      ui.ShowMessage("驱动器不提供此擦除方法: " + choice + "。它提供: " + OfferedNames(*caps),
                       "错误", TMessageIcon::Error);
      return false;
    }
    *method = *named;
  }
  if (caps->Ata && caps->SanitizeFrozen) {
    ui.ShowMessage("驱动器的 SANITIZE 已冻结，未发送任何命令。请让驱动器断电再上电后重试。",
                     "错误", TMessageIcon::Error);
    return false;
  }
  return true;
}

std::string FirmwareConfirmation(const TFirmwareCaps& caps, TFirmwareMethod method) {
  std::string text = "\r\n\r\n驱动器自身擦除: " + FirmwareMethodText(method);
  if (caps.CoversAllNamespaces(method)) {
    text += "\r\n此命令擦除该控制器的所有命名空间，而不只是所选的这一个。";
  }
  return text;
}

}  // namespace quarnel
