// The format command: pick entry N as the chooser would, open it as the main
// window does, and run the format button's procedure at the terminal.
#include <memory>
#include <optional>
#include <ostream>

#include "app/MainState.h"
#include "base/NumberTexts.h"
#include "base/System.h"
#include "base/Text.h"
#include "cli/CliApp.h"
#include "cli/CliBatch.h"
#include "cli/CliUi.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "erase/EraseRecord.h"
#include "erase/DriveRun.h"
#include "batch/BatchReport.h"
#include "record/EraseRecordFile.h"
#include "ui/UiSeam.h"

namespace quarnel {

std::string ModeLine(const TCliOptions& options, const std::string& firstMethod) {
  if (!options.Firmware.empty()) {
    return "Mode: the drive's own erase (" +
           (options.Firmware == "auto" ? firstMethod : VisibleText(options.Firmware)) +
           "), then a sample read back\n";
  }
  return std::string("Mode: ") +
         (options.Quick ? "quick wipe: zeros over the first 10,240,000 bytes and the last MiB"
                        : "full: zeros over every sector") +
         (options.Verify ? ", then read back" : "") + "\n";
}

namespace {

// What the warning does not say and the person typing yes must check: which
// drive exactly, what will be written, and which filesystems go down first.
std::string QuestionDetails(const TCliOptions& options) {
  const TDeviceTable& d = DeviceTable[SelectedDevice];
  std::string text = "Serial: " + VisibleText(Trim(d.IdentifyData.SN)) + "\n";
  text += "Path: " + VisibleText(d.DevicePath) + "\n";
  text += ModeLine(options, "the first method it offers");
  text += "Unmounted first: " +
          (d.AssociatedPartitions.empty() ? std::string("nothing is mounted")
                                          : VisibleText(d.AssociatedPartitions)) +
          "\n";
  return text;
}

// The exit status of a format: its run's outcome, or how the question
// ended when there was no run.
int FormatStatus(TCliUi& ui, const TEraseRecord& r) {
  switch (ui.LastRefusal()) {
    case TCliUi::TRefusal::Interrupted:
      return kExitInterrupted;
    case TCliUi::TRefusal::Declined:
      return kExitCancelled;
    case TCliUi::TRefusal::NoTerminal:
      return kExitUsage;
    case TCliUi::TRefusal::None:
      break;
  }
  if (r.Start.empty()) return kExitFailed;  // no run began
  switch (r.Outcome) {
    case TEraseOutcome::Complete:
      return kExitComplete;
    case TEraseOutcome::Cancelled:
      return kExitCancelled;
    case TEraseOutcome::Aborted:
    case TEraseOutcome::DriveChanged:
      return kExitAborted;
    case TEraseOutcome::NotLocked:
      return kExitInUse;
    case TEraseOutcome::Failed:
      break;
  }
  return kExitFailed;
}

// A batch member's last word: what its supervisor's table and document need.
void ReportToSupervisor(TCliUi& ui, const TEraseRecord* ran, const TCliOptions& options,
                        const TSigningKey* key, const std::string& recordFile, int status) {
  TRunEnd end;
  end.Record = ran;
  end.Simulated = options.Host.Simulate;
  end.Key = key;
  end.RecordFile = recordFile;
  end.Seconds = ran ? ui.RunSeconds() : 0.0;
  end.ExitStatus = status;
  ui.WorkerOutcome(end);
}

// A batch member's options: its order's, and nothing else of its command line.
TCliOptions MemberOptions(const TCliOptions& given, const TRunOrder& order) {
  TCliOptions o;
  o.Host = given.Host;
  o.Debug = given.Debug;
  o.Command = given.Command;
  o.BatchMember = given.BatchMember;
  o.Arguments = {"path:" + order.Path};
  o.Yes = true;
  o.Quick = order.Quick;
  o.Verify = order.Verify;
  o.Firmware = order.Firmware;
  o.RecordDir = order.RecordDir;
  o.SignKeyFile = order.SignKeyFile;
  o.Operator = order.Context.Operator;
  o.Organisation = order.Context.Organisation;
  o.Location = order.Context.Location;
  if (!order.Context.AssetTag.empty()) o.AssetTags = {order.Context.AssetTag};
  o.StopBelowMBps = order.StopBelowMBps;
  o.StopAboveCelsius = order.StopAboveCelsius;
  return o;
}

int FormatOne(const TCliOptions& options, TCliUi& ui, std::ostream& err, bool member,
              const TDriveIdentity& confirmed);

}  // namespace

int CommandFormat(const TCliOptions& given, TCliUi& ui, std::ostream& out, std::ostream& err) {
  // Several drives, and a document for a script, go through the batch: one
  // process per drive, one table, one document.
  if (given.Arguments.size() > 1 || (given.Json && given.BatchMember.empty())) {
    return CommandFormatBatch(given, ui, out, err);
  }
  if (given.BatchMember.empty()) return FormatOne(given, ui, err, false, {});
  TRunOrder order;
  std::string error;
  if (!ReadRunOrder(given.BatchMember, &order, &error)) {
    err << "quarnel-cli: --batch-member: " << error << "\n";
    return kExitUsage;
  }
  ShownListPlace = order.Number;
  ui.AnswerYes(true);  // the batch's own question named this drive and was answered
  ui.SetWorker();
  IgnoreBrokenPipes();  // a supervisor that is gone does not end the run
  return FormatOne(MemberOptions(given, order), ui, err, true, order.Identity);
}

namespace {

// One drive's format, at the terminal or as a batch's member; a member
// tells its supervisor how it ended, whichever way that is.
int FormatOne(const TCliOptions& options, TCliUi& ui, std::ostream& err, bool member,
              const TDriveIdentity& confirmed) {
  const auto refused = [&](int status) {
    if (member) ReportToSupervisor(ui, nullptr, options, nullptr, "", status);
    return status;
  };
  std::string record = options.RecordFile;
  auto file = std::make_shared<TKeptFile>();
  if (!record.empty()) {
    // Opened once, before the run, and kept to its end: a record that cannot
    // be kept stops the erase before it starts, and a record on the drive
    // being erased keeps its volume from being locked.
    std::string error;
    if (!file->Open(record, options.Force, &error)) {
      err << "quarnel-cli: cannot create the erase record " << record << ": " << error
          << (file->Existed() && !options.Force ? " (--force replaces it)" : "")
          << ". Nothing was done.\n";
      return refused(kExitUsage);
    }
  }
  std::shared_ptr<TSigningKey> key;
  if (!options.SignKeyFile.empty()) {
    // The key is read before anything else happens: a record that cannot be
    // signed stops the erase before it starts.
    if (!SignaturesAvailable()) {
      err << "quarnel-cli: cannot sign the erase record: Ed25519 signatures are not available in "
             "this build. Nothing was done.\n";
      file->Discard();
      return refused(kExitNoSignatures);
    }
    key = std::make_shared<TSigningKey>();
    std::string pem, error;
    if (!ReadPrivateFile(options.SignKeyFile, 64 * 1024, &pem, &error) ||
        !LoadSigningKey(pem, key.get(), &error)) {
      err << "quarnel-cli: the signing key " << options.SignKeyFile << " cannot be used: " << error
          << ". Nothing was done.\n";
      file->Discard();
      return refused(kExitUsage);
    }
  }
  ScanDevices();
  int status = ProgramEndRequested() ? ProgramExitCode() : 1;
  std::optional<TEraseRecord> ran;
  std::string ranFile;
  if (!ProgramEndRequested() && SelectAndOpen(options.Arguments, err)) {
    if (member) {
      // The drive must be the one confirmed in the batch's question, not
      // merely one at the same path: the run checks it against this before
      // its first write and again before its read-back.
      DeviceTable[SelectedDevice].Identity = confirmed;
    }
    if (!options.RecordDir.empty()) {
      std::string error;
      if (!CreateEraseRecordFile(file.get(), options.RecordDir,
                                 Trim(DeviceTable[SelectedDevice].IdentifyData.SN), UtcTimeText(),
                                 &record, &error)) {
        err << "quarnel-cli: cannot create the erase record " << record << ": " << error
            << ". Nothing was done.\n";
        MainWindowCloseRequested();
        return refused(kExitUsage);
      }
    }
    TDriveRun run(GetHost(), ui, DeviceTable[SelectedDevice], DeviceHandle, DeviceDescription);
    run.SetEraseRecordContext(
        {options.Operator, options.Organisation, options.Location,
         AssetTagFor(options.AssetTags, Trim(DeviceTable[SelectedDevice].IdentifyData.SN))});
    ui.SetStopRules({options.StopBelowMBps, options.StopAboveCelsius});
    ui.SetQuickWipe(options.Quick);
    ui.SetVerify(options.Verify);
    ui.SetQuestionDetails(QuestionDetails(options));
    ui.SetFirmwareChoice(options.Firmware);
    if (!record.empty()) {
      run.SetEraseRecordWriter(EraseRecordWriterTo(file, record, options.Host.Simulate, key));
    }
    ui.SetRun(&run);
    const bool complete = run.FormatSelectedDevice();
    ui.SetRun(nullptr);
    const TEraseRecord& done = run.LastEraseRecord();
    if (!done.Start.empty()) {
      ran = done;
      ranFile = run.LastEraseRecordFile();
    }
    status = FormatStatus(ui, done);
    if (complete != (status == kExitComplete)) status = kExitFailed;
    if (status == kExitComplete && std::string(SectorCoverage(done)) == "visible-sectors-only") {
      // The run did what was asked, but the drive keeps sectors it never saw.
      ui.MainLine("visible-sectors-only: " + IntToStrGrouped(done.HiddenArea.HiddenSectors()) +
                  " hidden sectors (HPA/DCO) were not erased");
      status = kExitVisibleSectorsOnly;
    }
    MainWindowCloseRequested();  // closes the drive: the run is over
  }
  file->Discard();  // declined: no run, no record (a file that was there stays)
  if (member) ReportToSupervisor(ui, ran ? &*ran : nullptr, options, key.get(), ranFile, status);
  return status;
}

}  // namespace

}  // namespace quarnel
