// The batch at the terminal: one question for every drive, then the batch
// engine's runs (one process per drive) drawn as a block of progress lines,
// Ctrl+C to stop them all, and the end table.
#include "cli/CliBatch.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <ostream>

#include "base/NumberTexts.h"
#include "base/System.h"
#include "base/Text.h"
#include "batch/BatchDrive.h"
#include "batch/BatchEngine.h"
#include "cli/CliApp.h"
#include "cli/CliUi.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "json/HealthJson.h"
#include "record/RecordCrypto.h"
#include "reports/Health.h"
#include "ui/TaskDialogs.h"

namespace quarnel {

namespace {

std::string Mbps(double mbps) { return MbpsText(mbps) + " MB/s"; }

// What a terminal shows of one run as it goes.
struct TShown {
  int LastPercentSaid = -1;
  int LastPassSaid = 0;
};

std::string PassName(const TCliOptions& options, int pass) {
  if (!options.Firmware.empty()) return pass <= 1 ? "drive's erase" : "sample check";
  return pass <= 1 ? "writing" : "reading back";
}

class TBatch : public TBatchObserver {
 public:
  // With --json the lasting lines go to standard error (the UI's main log
  // does already) and the document alone to standard output.
  TBatch(const TCliOptions& options, TCliUi& ui, std::ostream& out, std::ostream& err)
      : options_(options), ui_(ui), out_(out), err_(err), text_(options.Json ? err : out) {}

  int Run();

  void MemberLine(size_t index, const std::string& text, bool stray) override;
  void MemberProgress(size_t index) override;
  void MemberEnded(size_t index, bool started, const std::string& why) override;

 private:
  bool Choose();
  bool Confirm();
  void Stop();
  void Line(const std::string& text);  // a lasting line above the progress block
  void ClearBlock();
  void DrawBlock(bool force);
  std::string ProgressLine(const TBatchMember& m) const;
  std::string Tag(const TBatchMember& m) const { return "[" + DecText(m.Row.Number) + "]"; }
  void Table();

  const TCliOptions& options_;
  TCliUi& ui_;
  std::ostream& out_;
  std::ostream& err_;
  std::ostream& text_;  // the lasting lines: standard output, or standard error under --json
  std::vector<TBatchMember> members_;  // until the engine takes them
  std::vector<TAskedDrive> asked_;
  std::vector<TShown> shown_;
  std::unique_ptr<TBatchEngine> engine_;
  size_t blockLines_ = 0;
  std::chrono::steady_clock::time_point start_{}, lastDraw_{};
};

bool TBatch::Choose() {
  ScanDevices();
  if (ProgramEndRequested()) return false;
  for (const std::string& name : options_.Arguments) {
    const int64_t n = SelectEntry(name, err_);
    if (n < 0) return false;
    for (const TBatchMember& m : members_) {
      if (m.Row.Number == n) {
        err_ << "quarnel-cli: " << VisibleText(name) << " names drive " << n
             << " a second time. Nothing was done.\n";
        return false;
      }
    }
    TAskedDrive asked;
    members_.push_back(BatchMemberFor(options_, n, n, &asked));
    asked_.push_back(std::move(asked));
  }
  shown_.resize(members_.size());
  return true;
}

bool TBatch::Confirm() {
  std::string list = "Drives (" + DecText(static_cast<int64_t>(members_.size())) + "):\n";
  for (size_t i = 0; i < members_.size(); ++i) {
    const TBatchRow& r = members_[i].Row;
    const TAskedDrive& a = asked_[i];
    list += "  [" + DecText(r.Number) + "] " + VisibleText(r.Model) + "   serial " +
            VisibleText(r.Serial) + "   " + SizeToStr(r.Capacity) + "   " + r.Bus + "   " +
            VisibleText(r.Path) +
            (a.Volumes.empty() ? "" : "   unmounted first: " + VisibleText(a.Volumes)) + "\n";
    if (!a.Hidden.empty()) list += "      " + a.Hidden + "\n";
    if (!a.HealthLine.empty()) list += "      " + a.HealthLine + "\n";
  }
  list += ModeLine(options_, "the first method each drive offers");
  list +=
      "Runs at once: " + (options_.Jobs > 0 ? DecText(options_.Jobs) : std::string("all")) + "\n";
  ui_.SetQuestionDetails(list);
  TTaskDialogRequest request;
  request.Title = "警告";
  request.MainInstruction = "所选设备上的所有数据将丢失";
  request.Content = "The data on every drive listed below will be lost.";
  request.Icon = kIconWarning;
  request.Buttons = kButtonYes | kButtonCancel;
  return ui_.TaskDialog(request) == kResultYes;
}

void TBatch::MemberLine(size_t index, const std::string& text, bool) {
  Line(Tag(engine_->Members()[index]) + " " + TerminalLine(text));
}

void TBatch::MemberProgress(size_t index) {
  const TBatchMember& m = engine_->Members()[index];
  if (ui_.ErrIsTerminal() || m.Progress.Total <= 0) return;
  // A log: one plain line per drive whenever its percentage moves.
  TShown& shown = shown_[index];
  const int percent = static_cast<int>(m.Progress.Done * 100 / m.Progress.Total);
  if (percent != shown.LastPercentSaid || m.Progress.Pass != shown.LastPassSaid) {
    shown.LastPercentSaid = percent;
    shown.LastPassSaid = m.Progress.Pass;
    err_ << ProgressLine(m) << "\n" << std::flush;
  }
}

void TBatch::MemberEnded(size_t index, bool started, const std::string& why) {
  const TBatchMember& m = engine_->Members()[index];
  if (!started) {
    Line(Tag(m) + " the run could not be started: " + why);
    return;
  }
  std::string said =
      Tag(m) + " " + VisibleText(m.Row.Serial) + ": " + RowOutcomeName(m.Row.Outcome);
  if (!m.Row.StoppedBy.empty()) said += " (" + m.Row.StoppedBy + ")";
  if (m.Row.Outcome == TRowOutcome::Crashed) said += " (status " + DecText(m.ProcessStatus) + ")";
  Line(said);
  DrawBlock(true);
}

void TBatch::Stop() {
  if (engine_->Stopping()) return;
  Line("Stopping every run; each ends with its flush and its record.");
  engine_->Stop();
}

void TBatch::ClearBlock() {
  if (blockLines_ == 0) return;
  err_ << "\033[" << blockLines_ << "A\r\033[J" << std::flush;
  blockLines_ = 0;
}

void TBatch::Line(const std::string& text) {
  ClearBlock();
  text_ << text << "\n" << std::flush;
}

std::string TBatch::ProgressLine(const TBatchMember& m) const {
  std::string line = Tag(m) + " " + VisibleText(m.Row.Serial);
  const TRunProgress& p = m.Progress;
  if (p.Total <= 0) return line + "   starting";
  const int percent = static_cast<int>(p.Done * 100 / p.Total);
  line += "   " + DecText(percent) + "%";
  if (p.ElapsedMs > 0) {
    const double mbps = static_cast<double>(p.Done) / 1000.0 / static_cast<double>(p.ElapsedMs);
    line += "   " + Mbps(mbps);
    if (const double left = SecondsLeft(p.Done, p.Total, p.ElapsedMs); left >= 0) {
      line += "   left " + ClockText(left);
    }
  }
  return line + "   " + PassName(options_, p.Pass);
}

void TBatch::DrawBlock(bool force) {
  if (!ui_.ErrIsTerminal()) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - lastDraw_ < std::chrono::milliseconds(200)) return;
  lastDraw_ = now;
  size_t running = 0, waiting = 0, done = 0;
  std::string block;
  for (const TBatchMember& m : engine_->Members()) {
    if (m.State == TBatchMember::TState::Running) {
      ++running;
      block += "\r\033[K" + ProgressLine(m) + "\n";
    } else if (m.State == TBatchMember::TState::Waiting) {
      ++waiting;
    } else {
      ++done;
    }
  }
  block += "\r\033[Kbatch: " + DecText(static_cast<int64_t>(running)) + " running, " +
           DecText(static_cast<int64_t>(waiting)) + " waiting, " +
           DecText(static_cast<int64_t>(done)) + " done of " +
           DecText(static_cast<int64_t>(engine_->Members().size())) + "   elapsed " +
           ClockText(std::chrono::duration<double>(now - start_).count()) +
           (engine_->Stopping() ? "   stopping" : "") + "\n";
  ClearBlock();
  err_ << block << std::flush;
  blockLines_ = running + 1;
}

void TBatch::Table() {
  for (const std::string& line : BatchTableLines(engine_->Rows())) Line(line);
}

int TBatch::Run() {
  if (!Choose()) return ProgramEndRequested() ? ProgramExitCode() : kExitFailed;
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
  start_ = std::chrono::steady_clock::now();
  const size_t jobs = options_.Jobs > 0 ? static_cast<size_t>(options_.Jobs) : 0;
  engine_ = std::make_unique<TBatchEngine>(OwnProgramFile(), std::move(members_), jobs, *this);
  CatchStopSignals(true);
  // The members' pipes are read without waiting: no thread is needed.
  while (engine_->Busy()) {
    if (!engine_->Poll()) PauseMs(50);
    if (TakeStopSignal()) Stop();
    DrawBlock(false);
  }
  CatchStopSignals(false);
  ClearBlock();
  if (engine_->Stopping()) {
    for (const TBatchMember& m : engine_->Members()) {
      if (m.State == TBatchMember::TState::Waiting) Line(Tag(m) + " not started");
    }
  }
  Table();
  const std::vector<TBatchRow> rows = engine_->Rows();
  const int status = BatchStatus(rows);
  if (options_.Json) out_ << BatchJson(rows, status) << std::flush;
  return status;
}

}  // namespace

// Asks drive `n`, with read-only commands through a shared open that is
// closed again at once, for the question's line on the sectors it hides from
// the system (returned) and for its health (*health); each run asks again
// for its own record.
TRunOrder RunOrderFor(const TCliOptions& options, const TBatchRow& row,
                      const TDriveIdentity& identity) {
  TRunOrder o;
  o.Number = row.Number;
  o.Identity = identity;
  o.Path = row.Path;
  o.Simulate = options.Host.Simulate;
  o.SimulateFile = options.Host.SimulateFile;
  o.Debug = options.Debug;
  o.Quick = options.Quick;
  o.Verify = options.Verify;
  o.Firmware = options.Firmware;
  o.RecordDir = options.RecordDir;
  o.SignKeyFile = options.SignKeyFile;
  o.Context = {options.Operator, options.Organisation, options.Location,
               AssetTagFor(options.AssetTags, row.Serial)};
  o.StopBelowMBps = options.StopBelowMBps;
  o.StopAboveCelsius = options.StopAboveCelsius;
  return o;
}

TBatchMember BatchMemberFor(const TCliOptions& options, int64_t entry, int64_t number,
                            TAskedDrive* asked) {
  const TDeviceTable& d = DeviceTable[entry];
  TBatchMember m;
  m.Row = BatchRowOfDrive(number, d);
  *asked = AskDrive(d);
  m.Row.Health = asked->Health.Verdict;
  m.Order = RunOrderFor(options, m.Row, d.Identity);
  return m;
}

std::vector<std::string> BatchTableLines(const std::vector<TBatchRow>& rows) {
  std::vector<std::vector<std::string>> cells = {{"drive", "serial", "outcome", "bytes written",
                                                  "average speed", "duration", "verification",
                                                  "health", "record"}};
  for (const TBatchRow& r : rows) {
    std::string outcome = RowOutcomeName(r.Outcome);
    if (!r.StoppedBy.empty()) outcome += " (" + r.StoppedBy + ")";
    if (r.Coverage == "visible-sectors-only" && r.Outcome == TRowOutcome::Complete) {
      outcome = "visible-sectors-only";
    }
    cells.push_back(
        {"[" + DecText(r.Number) + "] " + VisibleText(r.Path), VisibleText(r.Serial), outcome,
         IntToStrGrouped(r.BytesWritten), r.AverageMBps > 0 ? Mbps(r.AverageMBps) : "-",
         r.Seconds > 0 ? ClockText(r.Seconds) : "-", r.Verification.empty() ? "-" : r.Verification,
         r.Health == THealthVerdict::Failing ? "failing: do not reuse"
                                             : HealthVerdictName(r.Health),
         r.RecordFile.empty() ? "-" : VisibleText(r.RecordFile)});
  }
  return ColumnLines(cells, true);
}

std::string AssetTagFor(const std::vector<std::string>& tags, const std::string& serial) {
  std::string tag;
  for (const std::string& t : tags) {
    if (t.rfind("serial:", 0) != 0) {
      tag = t;
    } else if (const size_t equals = t.find('='); t.substr(7, equals - 7) == serial) {
      tag = t.substr(equals + 1);
    }
  }
  return tag;
}

int RowStatus(const TBatchRow& row) {
  switch (row.Outcome) {
    case TRowOutcome::Complete:
      return row.Coverage == "visible-sectors-only" ? kExitVisibleSectorsOnly : kExitComplete;
    case TRowOutcome::Cancelled:
    case TRowOutcome::NotStarted:
      return kExitCancelled;
    case TRowOutcome::Aborted:
    case TRowOutcome::DriveChanged:
      return kExitAborted;
    case TRowOutcome::NotLocked:
      return kExitInUse;
    case TRowOutcome::Failed:
    case TRowOutcome::Refused:
    case TRowOutcome::Crashed:
      break;
  }
  return kExitFailed;
}

int BatchStatus(const std::vector<TBatchRow>& rows) {
  // Worst first.
  static const int order[] = {kExitFailed, kExitAborted, kExitInUse, kExitCancelled,
                              kExitVisibleSectorsOnly};
  for (const int status : order) {
    for (const TBatchRow& row : rows) {
      if (RowStatus(row) == status) return status;
    }
  }
  return kExitComplete;
}

int RecordOptionsRefusal(const TCliOptions& options, std::ostream& err) {
  if (!options.RecordDir.empty()) {
    std::error_code ec;
    const std::u8string dir(options.RecordDir.begin(), options.RecordDir.end());
    if (!std::filesystem::is_directory(std::filesystem::path(dir), ec)) {
      err << "quarnel-cli: --record-dir " << VisibleText(options.RecordDir)
          << " is not a folder. Nothing was done.\n";
      return kExitUsage;
    }
  }
  if (!options.SignKeyFile.empty()) {
    // Each run reads the key again; a key that cannot be used stops the
    // batch before anything happens.
    if (!SignaturesAvailable()) {
      err << "quarnel-cli: cannot sign the erase record: Ed25519 signatures are not available in "
             "this build. Nothing was done.\n";
      return kExitNoSignatures;
    }
    TSigningKey key;
    std::string pem, error;
    if (!ReadPrivateFile(options.SignKeyFile, 64 * 1024, &pem, &error) ||
        !LoadSigningKey(pem, &key, &error)) {
      err << "quarnel-cli: the signing key " << options.SignKeyFile << " cannot be used: " << error
          << ". Nothing was done.\n";
      return kExitUsage;
    }
  }
  return 0;
}

int CommandFormatBatch(const TCliOptions& options, TCliUi& ui, std::ostream& out,
                       std::ostream& err) {
  if (!options.RecordFile.empty()) {
    err << "quarnel-cli: --record names one file; for several drives give --record-dir DIR\n";
    return kExitUsage;
  }
  if (!options.BatchMember.empty()) {
    err << "quarnel-cli: --batch-member takes one drive\n";
    return kExitUsage;
  }
  if (const int refusal = RecordOptionsRefusal(options, err)) return refusal;
  TBatch batch(options, ui, out, err);
  return batch.Run();
}

}  // namespace quarnel
