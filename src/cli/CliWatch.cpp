// The watch: a typed confirmation of its policy arms it, and from then on
// every drive that appears (and that the filter lets through) runs through
// the batch engine with the policy's mode, one process per drive, while the
// drives that were there when it was armed are never touched. The system's
// own disk events wake it; it scans only when one came or a run let its
// drive go.
#include <chrono>
#include <memory>
#include <ostream>

#include "base/NumberTexts.h"
#include "base/System.h"
#include "base/Text.h"
#include "batch/BatchEngine.h"
#include "cli/CliApp.h"
#include "cli/CliBatch.h"
#include "cli/CliUi.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "devices/DriveRoster.h"
#include "frontend/DriveEvents.h"
#include "host/Host.h"
#include "ui/TaskDialogs.h"

namespace quarnel {

namespace {

std::string LowerText(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// --bus takes the buses' own names in lower case ("usb", "sata", "nvme",
// "fbvirtual"), and "loop" for a file-backed one.
bool BusNamed(const std::string& wanted, TBusType bus) {
  const std::string name = LowerText(wanted);
  if (name == "loop") return bus == TBusType::FileBackedVirtual;
  return name == LowerText(BusTypeName(bus));
}

bool KnownBusName(const std::string& wanted) {
  for (uint32_t code = 0; code <= static_cast<uint32_t>(TBusType::Ufs); ++code) {
    if (BusNamed(wanted, BusTypeFromCode(code))) return true;
  }
  return LowerText(wanted) == "loop";
}

std::string Described(const TRosterDrive& d) {
  return VisibleText(d.Model) + "   serial " + VisibleText(d.Serial) + "   " + SizeToStr(d.Size) +
         "   " + BusTypeName(d.Bus) + "   " + VisibleText(d.Path);
}

class TWatch : public TBatchObserver {
 public:
  TWatch(const TCliOptions& options, TCliUi& ui, std::ostream& out, std::ostream& err)
      : options_(options), ui_(ui), out_(out), err_(err), text_(options.Json ? err : out) {}

  int Run();

  void MemberLine(size_t index, const std::string& text, bool stray) override;
  void MemberProgress(size_t) override { DrawStatus(false); }
  void MemberEnded(size_t index, bool started, const std::string& why) override;

 private:
  bool Confirm();
  void Look();
  bool Qualifies(const TRosterDrive& d, std::string* why) const;
  void Admit(size_t drive);
  bool Over() const;
  void Line(const std::string& text);
  void DrawStatus(bool force);
  std::string Tag(size_t index) const { return "[" + DecText(static_cast<int64_t>(index + 1)) + "]"; }

  const TCliOptions& options_;
  TCliUi& ui_;
  std::ostream& out_;
  std::ostream& err_;
  std::ostream& text_;
  std::unique_ptr<TDriveEvents> events_;
  TDriveRoster roster_;
  std::unique_ptr<TBatchEngine> engine_;
  std::vector<size_t> rosterOf_;  // member -> its drive in the roster
  size_t finished_ = 0;
  bool lookAgain_ = false;  // a run let its drive go: a scan finds it again, or not
  bool stopping_ = false;
  bool statusShown_ = false;
  int64_t lastStatusMs_ = 0;
};

bool TWatch::Confirm() {
  std::string policy = ModeLine(options_, "the first method each drive offers");
  policy += "Records: " + VisibleText(options_.RecordDir) + "\n";
  std::string filter;
  if (!options_.Bus.empty()) filter += "bus " + VisibleText(options_.Bus);
  if (options_.Host.DevicesGiven) {
    std::string nodes;
    for (const std::string& node : options_.Host.Devices) {
      nodes += (nodes.empty() ? "" : ", ") + VisibleText(node);
    }
    filter += (filter.empty() ? "" : ", ") + std::string("only ") + nodes;
  }
  policy += "Filter: " + (filter.empty() ? std::string("every new drive") : filter) + "\n";
  policy += "Ends: " +
            (options_.Count > 0 ? "after " + DecText(options_.Count) + " drives have finished"
                                : std::string("at Ctrl+C")) +
            "\n";
  std::string here;
  for (const TRosterDrive& d : roster_.Drives()) {
    if (d.Present) here += "  " + Described(d) + "\n";
  }
  policy += "Left alone, as every drive there when the watch starts:\n" +
            (here.empty() ? std::string("  (none)\n") : here);
  ui_.SetQuestionDetails(policy);
  TTaskDialogRequest request;
  request.Title = "警告";
  request.MainInstruction = "新连接的设备上的所有数据将丢失";
  request.Content =
      "Every drive attached from now on that the filter lets through will be erased.";
  request.Icon = kIconWarning;
  request.Buttons = kButtonYes | kButtonCancel;
  return ui_.TaskDialog(request) == kResultYes;
}

bool TWatch::Qualifies(const TRosterDrive& d, std::string* why) const {
  if (!options_.Bus.empty() && !BusNamed(options_.Bus, d.Bus)) {
    *why = "its bus is " + BusTypeName(d.Bus) + ", not " + VisibleText(options_.Bus);
    return false;
  }
  if (options_.Host.DevicesGiven) {
    bool listed = false;
    for (const std::string& node : options_.Host.Devices) listed = listed || node == d.Path;
    if (!listed) {
      *why = "not among --devices";
      return false;
    }
  }
  return true;
}

void TWatch::Admit(size_t drive) {
  const TRosterDrive& d = roster_.Drives()[drive];
  TAskedDrive asked;
  const size_t index = engine_->Members().size();
  TBatchMember m =
      BatchMemberFor(options_, d.TableIndex, static_cast<int64_t>(index + 1), &asked);
  Line(Tag(index) + " arrived: " + Described(d) +
       (asked.Volumes.empty() ? "" : "   unmounted first: " + VisibleText(asked.Volumes)) +
       "; erasing");
  if (!asked.Hidden.empty()) Line(Tag(index) + " " + asked.Hidden);
  if (!asked.HealthLine.empty()) Line(Tag(index) + " " + asked.HealthLine);
  engine_->Add(std::move(m));
  rosterOf_.push_back(drive);
  roster_.Hold(drive, true);
}

void TWatch::Look() {
  ScanDevices();
  const TRosterChange change = roster_.Update(DeviceTable, DeviceCount);
  for (const size_t k : change.Departed) Line("gone: " + Described(roster_.Drives()[k]));
  for (const size_t k : change.Arrived) {
    const TRosterDrive& d = roster_.Drives()[k];
    std::string why;
    if (options_.Count > 0 && engine_->Members().size() >= static_cast<size_t>(options_.Count)) {
      Line("arrived: " + Described(d) + "; left alone (--count " + DecText(options_.Count) +
           " drives taken)");
    } else if (!Qualifies(d, &why)) {
      Line("arrived: " + Described(d) + "; left alone (" + why + ")");
    } else {
      Admit(k);
    }
  }
}

void TWatch::MemberLine(size_t index, const std::string& text, bool) {
  Line(Tag(index) + " " + TerminalLine(text));
}

void TWatch::MemberEnded(size_t index, bool started, const std::string& why) {
  const TBatchMember& m = engine_->Members()[index];
  ++finished_;
  roster_.Hold(rosterOf_[index], false);
  lookAgain_ = true;
  if (!started) {
    Line(Tag(index) + " " + VisibleText(m.Row.Serial) + ": the run could not be started: " + why);
    return;
  }
  std::string said = Tag(index) + " " + VisibleText(m.Row.Serial) + ": " +
                     RowOutcomeName(m.Row.Outcome);
  if (!m.Row.StoppedBy.empty()) said += " (" + m.Row.StoppedBy + ")";
  if (m.Row.Outcome == TRowOutcome::Crashed) said += " (status " + DecText(m.ProcessStatus) + ")";
  if (!m.Row.RecordFile.empty()) said += "   record " + VisibleText(m.Row.RecordFile);
  Line(said);
}

void TWatch::Line(const std::string& text) {
  if (statusShown_) {
    err_ << "\r\033[K" << std::flush;
    statusShown_ = false;
  }
  text_ << text << "\n" << std::flush;
}

// At a terminal, one line below the lasting ones says where the watch is.
void TWatch::DrawStatus(bool force) {
  if (!ui_.ErrIsTerminal()) return;
  const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
  if (!force && now - lastStatusMs_ < 200) return;
  lastStatusMs_ = now;
  size_t running = 0;
  for (const TBatchMember& m : engine_->Members()) {
    running += m.State == TBatchMember::TState::Running;
  }
  err_ << "\r\033[Kwatch: " << running << " running, " << finished_ << " done"
       << (stopping_ ? ", stopping" : ", waiting for drives (Ctrl+C ends)") << std::flush;
  statusShown_ = true;
}

bool TWatch::Over() const {
  if (engine_->Busy()) return false;
  return stopping_ || (options_.Count > 0 && finished_ >= static_cast<size_t>(options_.Count));
}

int TWatch::Run() {
  // The events are opened before the scan that arms the watch: a drive that
  // comes between the two is seen.
  std::string error;
  events_ = OpenDriveEvents(GetHost(), &error);
  if (!events_) {
    err_ << "quarnel-cli: cannot watch for drives: " << error << ". Nothing was done.\n";
    return kExitFailed;
  }
  ScanDevices();
  if (ProgramEndRequested()) return ProgramExitCode();
  roster_.Update(DeviceTable, DeviceCount);
  if (!Confirm()) {
    switch (ui_.LastRefusal()) {
      case TCliUi::TRefusal::Interrupted:
        return kExitInterrupted;
      case TCliUi::TRefusal::NoTerminal:
        return kExitUsage;
      default:
        return kExitCancelled;
    }
  }
  // A drive plugged in while the question waited was there when the watch
  // was armed: left alone too.
  events_->Changed();
  ScanDevices();
  roster_.Update(DeviceTable, DeviceCount);
  roster_.Arm();
  size_t here = 0;
  for (const TRosterDrive& d : roster_.Drives()) here += d.Present;
  const size_t jobs = options_.Jobs > 0 ? static_cast<size_t>(options_.Jobs) : 0;
  engine_ = std::make_unique<TBatchEngine>(OwnProgramFile(), std::vector<TBatchMember>{}, jobs,
                                           *this);
  CatchStopSignals(true);
  Line("Watching for new drives; the " + DecText(static_cast<int64_t>(here)) +
       " here now are left alone.");
  while (!Over()) {
    if (TakeStopSignal() && !stopping_) {
      stopping_ = true;
      Line("Stopping: the runs in hand end with their flush and their record; no new drive is "
           "taken.");
      engine_->Stop();
    }
    if (!stopping_ && (events_->Changed() || lookAgain_)) {
      lookAgain_ = false;
      Look();
    }
    if (!engine_->Poll()) PauseMs(50);
    DrawStatus(false);
  }
  CatchStopSignals(false);
  if (statusShown_) Line("");
  const std::vector<TBatchRow> rows = engine_->Rows();
  if (rows.empty()) {
    Line("No drive arrived.");
  } else {
    for (const std::string& line : BatchTableLines(rows)) Line(line);
  }
  const int status = rows.empty() ? kExitComplete : BatchStatus(rows);
  if (options_.Json) out_ << BatchJson(rows, status) << std::flush;
  return status;
}

}  // namespace

int CommandWatch(const TCliOptions& options, TCliUi& ui, std::ostream& out, std::ostream& err) {
  if (!options.Bus.empty() && !KnownBusName(options.Bus)) {
    err << "quarnel-cli: --bus " << VisibleText(options.Bus)
        << " names no bus (usb, sata, ata, nvme, scsi, sas, sd, mmc, virtual, loop, ...)\n";
    return kExitUsage;
  }
  if (const int refusal = RecordOptionsRefusal(options, err)) return refusal;
  TWatch watch(options, ui, out, err);
  return watch.Run();
}

}  // namespace quarnel
