// The batch: every drive runs in a process of its own (this program again,
// with --batch-member), so that nothing of one run's state (the open handle,
// the chosen drive, the stop flag, the record) is shared with another's, and
// a run that fails, hangs or crashes takes no other with it. This process
// only asks, starts, watches, stops on Ctrl+C and sums up.
#include "cli/CliBatch.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>

#include "base/NumberTexts.h"
#include "base/System.h"
#include "base/Text.h"
#include "cli/CliApp.h"
#include "cli/CliUi.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "format/HiddenAreaRun.h"
#include "host/Host.h"
#include "host/HostConstants.h"
#include "record/HealthJson.h"
#include "record/RecordCrypto.h"
#include "reports/Health.h"
#include "reports/SmartReport.h"
#include "ui/TaskDialogs.h"

namespace quarnel {

namespace {

std::string Hex(const std::string& bytes) {
  std::string out;
  for (const char c : bytes) out += Hex2(static_cast<uint8_t>(c));
  return out;
}

bool FromHex(const std::string& hex, std::string* bytes) {
  if (hex.size() % 2 != 0) return false;
  bytes->clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    uint8_t value = 0;
    const auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, value, 16);
    if (ec != std::errc() || end != hex.data() + i + 2) return false;
    *bytes += static_cast<char>(value);
  }
  return true;
}

bool WholeNumber(const std::string& text, uint64_t* value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

std::string Mbps(double mbps) { return MbpsText(mbps) + " MB/s"; }

// One drive of the batch, from the question to its row of the table.
struct TMember {
  TBatchRow Row;
  std::string Identity;  // MemberIdentityText of the drive the question named
  std::string Volumes;   // mounted volumes the run takes down
  std::string Hidden;    // the question's line on sectors the drive hides
  std::string Health;    // the question's line on the drive's health
  std::unique_ptr<TChildProcess> Child;
  std::string Pending;  // what its pipe gave after its last full line
  enum class TState { Waiting, Running, Done } State = TState::Waiting;
  bool Summarised = false;
  // The last progress: bytes done and in all of the pass, its milliseconds,
  // which pass (1 the run, 2 and on its read-back or sample check).
  int64_t Done = 0, Total = 0, ElapsedMs = 0;
  int Pass = 0;
  int LastPercentSaid = -1;
  int LastPassSaid = 0;
};

// Asks drive `n`, with read-only commands through a shared open that is
// closed again at once, for the question's line on the sectors it hides from
// the system (returned) and for its health (*health); each run asks again
// for its own record.
std::string AskHiddenAreaAndHealth(int64_t n, THealthAssessment* health) {
  Host& host = GetHost();
  const THandle handle =
      host.CreateFileU8(DeviceTable[n].DevicePath, win::kGENERIC_READ | win::kGENERIC_WRITE,
                        win::kFILE_SHARE_READ | win::kFILE_SHARE_WRITE, win::kOPEN_EXISTING, 0);
  if (handle == kInvalidHandle) return {};
  const int64_t selected = SelectedDevice;
  const THandle kept = DeviceHandle;
  SelectedDevice = n;
  DeviceHandle = handle;
  const std::string line = HiddenAreaConfirmationLine(QuerySelectedHiddenArea());
  *health = QuerySelectedHealth();
  DeviceHandle = kept;
  SelectedDevice = selected;
  host.CloseHandle(handle);
  return line;
}

std::string PassName(const TCliOptions& options, int pass) {
  if (!options.Firmware.empty()) return pass <= 1 ? "drive's erase" : "sample check";
  return pass <= 1 ? "writing" : "reading back";
}

class TBatch {
 public:
  // With --json the lasting lines go to standard error (the UI's main log
  // does already) and the document alone to standard output.
  TBatch(const TCliOptions& options, TCliUi& ui, std::ostream& out, std::ostream& err)
      : options_(options), ui_(ui), out_(out), err_(err), text_(options.Json ? err : out) {}

  int Run();

 private:
  bool Choose();
  bool Confirm();
  std::vector<std::string> MemberArguments(const TMember& m) const;
  void Start(size_t index);
  void Take(size_t index, const std::string& line);
  void Finish(size_t index);
  void Stop();
  void Line(const std::string& text);  // a lasting line above the progress block
  void ClearBlock();
  void DrawBlock(bool force);
  std::string ProgressLine(const TMember& m) const;
  void Table();
  std::vector<TBatchRow> Rows() const {
    std::vector<TBatchRow> rows;
    for (const TMember& m : members_) rows.push_back(m.Row);
    return rows;
  }

  const TCliOptions& options_;
  TCliUi& ui_;
  std::ostream& out_;
  std::ostream& err_;
  std::ostream& text_;  // the lasting lines: standard output, or standard error under --json
  std::vector<TMember> members_;
  bool stopping_ = false;
  size_t blockLines_ = 0;
  std::chrono::steady_clock::time_point start_{}, lastDraw_{};
};

bool TBatch::Choose() {
  ScanDevices();
  if (ProgramEndRequested()) return false;
  for (const std::string& name : options_.Arguments) {
    const int64_t n = SelectEntry(name, err_);
    if (n < 0) return false;
    for (const TMember& m : members_) {
      if (m.Row.Number == n) {
        err_ << "quarnel-cli: " << VisibleText(name) << " names drive " << n
             << " a second time. Nothing was done.\n";
        return false;
      }
    }
    const TDeviceTable& d = DeviceTable[n];
    TMember m;
    m.Row.Number = n;
    m.Row.Model = Trim(d.IdentifyData.Model);
    m.Row.Serial = Trim(d.IdentifyData.SN);
    m.Row.Bus = BusTypeName(d.IdentifyData.BusType);
    m.Row.Path = d.DevicePath;
    m.Row.Capacity = d.IdentifyData.LBA * std::max<int64_t>(d.IdentifyData.SectorSize, 0);
    m.Identity = MemberIdentityText(n, d.Identity);
    m.Volumes = d.AssociatedPartitions;
    THealthAssessment health;
    m.Hidden = AskHiddenAreaAndHealth(n, &health);
    m.Row.Health = health.Verdict;
    if (health.Verdict != THealthVerdict::Unknown) m.Health = HealthConfirmationLine(health);
    members_.push_back(std::move(m));
  }
  return true;
}

bool TBatch::Confirm() {
  std::string list = "Drives (" + DecText(static_cast<int64_t>(members_.size())) + "):\n";
  for (const TMember& m : members_) {
    list += "  [" + DecText(m.Row.Number) + "] " + VisibleText(m.Row.Model) + "   serial " +
            VisibleText(m.Row.Serial) + "   " + SizeToStr(m.Row.Capacity) + "   " + m.Row.Bus +
            "   " + VisibleText(m.Row.Path) +
            (m.Volumes.empty() ? "" : "   unmounted first: " + VisibleText(m.Volumes)) + "\n";
    if (!m.Hidden.empty()) list += "      " + m.Hidden + "\n";
    if (!m.Health.empty()) list += "      " + m.Health + "\n";
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

std::vector<std::string> TBatch::MemberArguments(const TMember& m) const {
  std::vector<std::string> args;
  const THostOptions& host = options_.Host;
  // A member looks at its own drive alone: the others are held by their own
  // runs, and a scan of them would only be turned away. Its log shows the
  // drive's number in this program's list all the same (--batch-member).
  if (host.Simulate) {
    args.push_back(host.SimulateFile.empty() ? "--simulate" : "--simulate=" + host.SimulateFile);
  } else {
    args.push_back("--devices=" + m.Row.Path);
  }
  if (options_.Debug) args.push_back("--debug");
  args.insert(args.end(),
              {"format", "path:" + m.Row.Path, "--yes", "--batch-member=" + m.Identity});
  if (options_.Quick) args.push_back("--quick");
  if (options_.Verify) args.push_back("--verify");
  if (!options_.Firmware.empty()) {
    args.push_back(options_.Firmware == "auto" ? "--firmware" : "--firmware=" + options_.Firmware);
  }
  if (!options_.RecordDir.empty()) args.push_back("--record-dir=" + options_.RecordDir);
  if (!options_.SignKeyFile.empty()) args.push_back("--sign=" + options_.SignKeyFile);
  if (!options_.Operator.empty()) args.push_back("--operator=" + options_.Operator);
  if (!options_.Organisation.empty()) args.push_back("--organisation=" + options_.Organisation);
  if (!options_.Location.empty()) args.push_back("--location=" + options_.Location);
  for (const std::string& tag : options_.AssetTags) args.push_back("--asset-tag=" + tag);
  if (options_.StopBelowMBps > 0) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", options_.StopBelowMBps);
    args.push_back(std::string("--stop-below=") + text);
  }
  if (options_.StopAboveCelsius > 0) {
    args.push_back("--stop-above=" + std::to_string(options_.StopAboveCelsius));
  }
  return args;
}

void TBatch::Start(size_t index) {
  TMember& m = members_[index];
  m.Child = std::make_unique<TChildProcess>();
  std::string error;
  const std::string program = OwnProgramFile();
  if (program.empty() || !m.Child->Start(program, MemberArguments(m), &error)) {
    m.State = TMember::TState::Done;
    m.Row.Outcome = "refused";
    m.Row.ExitStatus = kExitFailed;
    Line("[" + DecText(m.Row.Number) + "] the run could not be started: " +
         (program.empty() ? std::string("this program's file is not known") : error));
    m.Child.reset();
    return;
  }
  m.State = TMember::TState::Running;
}

void TBatch::Take(size_t index, const std::string& line) {
  TMember& m = members_[index];
  if (line.empty() || line[0] != kWorkerMark) {
    Line("[" + DecText(m.Row.Number) + "] " + TerminalLine(line));
    return;
  }
  const std::string body = line.substr(1);
  if (body.rfind("progress ", 0) == 0) {
    long long done = 0, total = 0, elapsed = 0;
    int pass = 0;
    if (std::sscanf(body.c_str() + 9, "%lld %lld %lld %d", &done, &total, &elapsed, &pass) == 4) {
      m.Done = done;
      m.Total = total;
      m.ElapsedMs = elapsed;
      m.Pass = pass;
    }
    if (!ui_.ErrIsTerminal() && m.Total > 0) {
      // A log: one plain line per drive whenever its percentage moves.
      const int percent = static_cast<int>(m.Done * 100 / m.Total);
      if (percent != m.LastPercentSaid || m.Pass != m.LastPassSaid) {
        m.LastPercentSaid = percent;
        m.LastPassSaid = m.Pass;
        err_ << ProgressLine(m) << "\n" << std::flush;
      }
    }
    return;
  }
  if (body.rfind("done ", 0) == 0 && ReadRunSummary(body.substr(5), &m.Row)) {
    m.Summarised = true;
  }
}

void TBatch::Finish(size_t index) {
  TMember& m = members_[index];
  if (!m.Pending.empty()) Take(index, m.Pending);
  m.Pending.clear();
  const int status = m.Child ? m.Child->Wait() : -1;
  m.Child.reset();
  m.State = TMember::TState::Done;
  if (!m.Summarised) {
    // No word from the run at its end: it ended before its record, or died.
    m.Row.ExitStatus = status;
    m.Row.Outcome = status < 0 || status >= 128 ? "crashed" : "refused";
  }
  std::string said =
      "[" + DecText(m.Row.Number) + "] " + VisibleText(m.Row.Serial) + ": " + m.Row.Outcome;
  if (!m.Row.StoppedBy.empty()) said += " (" + m.Row.StoppedBy + ")";
  if (m.Row.Outcome == "crashed") said += " (status " + DecText(status) + ")";
  Line(said);
}

void TBatch::Stop() {
  if (stopping_) return;
  stopping_ = true;
  Line("Stopping every run; each ends with its flush and its record.");
  for (TMember& m : members_) {
    if (m.State == TMember::TState::Running) m.Child->Interrupt();
  }
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

std::string TBatch::ProgressLine(const TMember& m) const {
  std::string line = "[" + DecText(m.Row.Number) + "] " + VisibleText(m.Row.Serial);
  if (m.Total <= 0) return line + "   starting";
  const int percent = static_cast<int>(m.Done * 100 / m.Total);
  line += "   " + DecText(percent) + "%";
  if (m.ElapsedMs > 0) {
    const double mbps = static_cast<double>(m.Done) / 1000.0 / static_cast<double>(m.ElapsedMs);
    line += "   " + Mbps(mbps);
    if (const double left = SecondsLeft(m.Done, m.Total, m.ElapsedMs); left >= 0) {
      line += "   left " + ClockText(left);
    }
  }
  return line + "   " + PassName(options_, m.Pass);
}

void TBatch::DrawBlock(bool force) {
  if (!ui_.ErrIsTerminal()) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - lastDraw_ < std::chrono::milliseconds(200)) return;
  lastDraw_ = now;
  size_t running = 0, waiting = 0, done = 0;
  std::string block;
  for (const TMember& m : members_) {
    if (m.State == TMember::TState::Running) {
      ++running;
      block += "\r\033[K" + ProgressLine(m) + "\n";
    } else if (m.State == TMember::TState::Waiting) {
      ++waiting;
    } else {
      ++done;
    }
  }
  block += "\r\033[Kbatch: " + DecText(static_cast<int64_t>(running)) + " running, " +
           DecText(static_cast<int64_t>(waiting)) + " waiting, " +
           DecText(static_cast<int64_t>(done)) + " done of " +
           DecText(static_cast<int64_t>(members_.size())) + "   elapsed " +
           ClockText(std::chrono::duration<double>(now - start_).count()) +
           (stopping_ ? "   stopping" : "") + "\n";
  ClearBlock();
  err_ << block << std::flush;
  blockLines_ = running + 1;
}

void TBatch::Table() {
  std::vector<std::vector<std::string>> cells = {{"drive", "serial", "outcome", "bytes written",
                                                  "average speed", "duration", "verification",
                                                  "health", "record"}};
  for (const TMember& m : members_) {
    const TBatchRow& r = m.Row;
    std::string outcome = r.Outcome;
    if (!r.StoppedBy.empty()) outcome += " (" + r.StoppedBy + ")";
    if (r.Coverage == "visible-sectors-only" && r.Outcome == "complete") {
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
  for (const std::string& line : ColumnLines(cells, true)) Line(line);
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
  const size_t jobs = options_.Jobs > 0 ? static_cast<size_t>(options_.Jobs) : members_.size();
  CatchStopSignals(true);
  size_t next = 0, running = 0;
  for (;;) {
    while (!stopping_ && next < members_.size() && running < jobs) {
      Start(next);
      if (members_[next].State == TMember::TState::Running) ++running;
      ++next;
    }
    if (running == 0) break;
    // The members' pipes, read without waiting (no thread is needed for
    // that, and the Windows build has none to give).
    bool heard = false, ended = false;
    for (size_t index = 0; index < members_.size(); ++index) {
      TMember& m = members_[index];
      if (m.State != TMember::TState::Running) continue;
      char buffer[16384];
      int64_t n;
      while ((n = m.Child->ReadAvailable(buffer, sizeof buffer)) > 0) {
        heard = true;
        m.Pending.append(buffer, static_cast<size_t>(n));
        size_t start = 0, end;
        while ((end = m.Pending.find('\n', start)) != std::string::npos) {
          Take(index, m.Pending.substr(start, end - start));
          start = end + 1;
        }
        m.Pending.erase(0, start);
      }
      if (n < 0) {
        Finish(index);
        --running;
        ended = true;
      }
    }
    if (!heard && !ended) PauseMs(50);
    if (TakeStopSignal()) Stop();
    DrawBlock(ended);
  }
  CatchStopSignals(false);
  ClearBlock();
  if (stopping_) {
    for (TMember& m : members_) {
      if (m.State == TMember::TState::Waiting) Line("[" + DecText(m.Row.Number) + "] not started");
    }
  }
  Table();
  const int status = BatchStatus(Rows());
  if (options_.Json) out_ << BatchJson(Rows(), status) << std::flush;
  return status;
}

}  // namespace

std::string MemberIdentityText(int64_t number, const TDriveIdentity& identity) {
  return std::to_string(number) + ":" +
         (identity.HasSequence ? std::to_string(identity.Sequence) : std::string("-")) + ":" +
         std::to_string(identity.Length) + ":" + Hex(identity.Model) + ":" + Hex(identity.Serial);
}

bool ReadMemberIdentity(const std::string& text, int64_t* number, TDriveIdentity* identity) {
  std::vector<std::string> parts;
  size_t start = 0, end;
  while ((end = text.find(':', start)) != std::string::npos) {
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  parts.push_back(text.substr(start));
  if (parts.size() != 5) return false;
  TDriveIdentity read;
  read.Read = true;
  uint64_t place = 0, length = 0;
  if (!WholeNumber(parts[0], &place) || place < 1 || place > kAllDriveNumbers) return false;
  if (parts[1] != "-") {
    if (!WholeNumber(parts[1], &read.Sequence)) return false;
    read.HasSequence = true;
  }
  if (!WholeNumber(parts[2], &length) || length > static_cast<uint64_t>(INT64_MAX)) return false;
  read.Length = static_cast<int64_t>(length);
  if (!FromHex(parts[3], &read.Model) || !FromHex(parts[4], &read.Serial)) return false;
  *number = static_cast<int64_t>(place);
  *identity = read;
  return true;
}

int RowStatus(const TBatchRow& row) {
  const std::string& o = row.Outcome;
  if (o == "complete") {
    return row.Coverage == "visible-sectors-only" ? kExitVisibleSectorsOnly : kExitComplete;
  }
  if (o == "cancelled" || o == "not-started") return kExitCancelled;
  if (o == "aborted" || o == "drive-changed") return kExitAborted;
  if (o == "not-locked") return kExitInUse;
  return kExitFailed;  // failed, refused, crashed
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
  TBatch batch(options, ui, out, err);
  return batch.Run();
}

}  // namespace quarnel
