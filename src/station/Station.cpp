#include "station/Station.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/Logging.h"
#include "base/NumberTexts.h"
#include "base/System.h"
#include "base/Text.h"
#include "devices/DeviceScan.h"
#include "host/Host.h"
#include "devices/DeviceTable.h"
#include "record/CertificateFile.h"
#include "reports/Health.h"
#include "ui/TaskDialogs.h"
#include "ui/UiSeam.h"

namespace quarnel {

namespace {

// The same drive as a row's: the kernel's disk sequence number where both
// have one (a medium attached again gets a new one); otherwise its model,
// serial and length at the same node, so that two drives without a serial of
// their own are never taken for one.
bool SameDrive(const TStationRow& row, const TDeviceTable& entry) {
  const TDriveIdentity& a = row.Identity;
  const TDriveIdentity& b = entry.Identity;
  if (!a.Read || !b.Read) return false;
  if (a.HasSequence && b.HasSequence) return a.Sequence == b.Sequence;
  return a.Model == b.Model && a.Serial == b.Serial && a.Length == b.Length &&
         row.Drive.Path == entry.DevicePath;
}

std::string FileName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ModeText(const TStationMode& mode) {
  std::string text = station::kModeCaptions[static_cast<size_t>(mode.Kind)];
  if (mode.Kind == TStationMode::TKind::Firmware) {
    text += " (" + mode.Method + ")";
  } else if (mode.Verify) {
    text += std::string("，") + mainwindow::kVerifyCaption;
  }
  return text;
}

}  // namespace

std::array<std::string, station::kColumns> TStationRow::Cells() const {
  std::array<std::string, station::kColumns> c;
  c[0] = DecText(Drive.Number);
  c[1] = VisibleText(Drive.Model);
  c[2] = VisibleText(Drive.Serial);
  c[3] = Drive.Capacity > 0 ? SizeToStr(Drive.Capacity) : "";
  c[4] = Drive.Bus;
  c[5] = VisibleText(Drive.Path);
  c[6] = VisibleText(Volumes);
  c[7] = Health;
  c[8] = State == TStationState::Running && Pass >= 2
             ? station::kCheckingText
             : station::kStateTexts[static_cast<size_t>(State)];
  if (State == TStationState::Running || State == TStationState::Waiting) {
    if (Percent >= 0) c[9] = DecText(Percent) + "%";
    if (Mbps > 0) c[10] = MbpsText(Mbps) + " MB/s";
    if (SecondsLeft >= 0) c[11] = ClockText(SecondsLeft);
  }
  if (Ran && State != TStationState::Running && State != TStationState::Waiting) {
    c[12] = Drive.Outcome == TRowOutcome::Complete && Drive.Coverage == "visible-sectors-only"
                ? station::kVisibleOnlyText
                : station::kOutcomeTexts[static_cast<size_t>(Drive.Outcome)];
    if (Drive.Health == THealthVerdict::Failing) c[12] += station::kDoNotReuseText;
    if (Drive.AverageMBps > 0) c[10] = MbpsText(Drive.AverageMBps) + " MB/s";
    c[13] = VisibleText(FileName(Drive.RecordFile));
  }
  return c;
}

std::string MemberProgramBeside(const std::string& programFile) {
  const size_t slash = programFile.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? "" : programFile.substr(0, slash + 1);
  const bool exe = programFile.size() > 4 &&
                   UpperAscii(programFile.substr(programFile.size() - 4)) == ".EXE";
  return folder + (exe ? "quarnel-cli.exe" : "quarnel-cli");
}

TStationSetup DesktopStationSetup(const THostOptions& host, const std::string& programFile) {
  TStationSetup setup;
  setup.MemberProgram = MemberProgramBeside(programFile);
  setup.Host = host;
  setup.RecordDir = GetAppDataFolder();
  if (!setup.RecordDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(
        std::filesystem::path(std::u8string(setup.RecordDir.begin(), setup.RecordDir.end())), ec);
  }
  return setup;
}

TStation::TStation(TStationView& view, TUiSeam& ui, TStationSetup setup)
    : view_(view), ui_(ui), setup_(std::move(setup)) {}

TStation::~TStation() {
  // Closing the station stops what runs: each run ends with its flush and
  // its record before the window goes.
  Stop({});
  while (Busy()) {
    if (!Poll()) PauseMs(50);
  }
}

void TStation::Start() {
  view_.SetTitle(station::kTitle);
  std::string why;
  events_ = OpenDriveEvents(GetHost(), &why);
  if (!events_) AddLog("drive events unavailable: " + why + "; drives attached later are not shown");
  Rescan();
  changed_ = true;
  Draw();
}

void TStation::Rescan() {
  ScanDevices();
  std::vector<bool> seen(rows_.size(), false);
  for (int64_t n = 1; n <= DeviceCount; ++n) {
    const TDeviceTable& entry = DeviceTable[n];
    if (entry.DevicePath.empty()) continue;
    bool known = false;
    for (size_t i = 0; i < rows_.size(); ++i) {
      TStationRow& row = rows_[i];
      if (row.State == TStationState::Gone || seen[i] || !SameDrive(row, entry)) continue;
      seen[i] = known = true;
      if (row.Volumes != entry.AssociatedPartitions) {
        row.Volumes = entry.AssociatedPartitions;
        changed_ = true;
      }
      row.Entry = entry;
      break;
    }
    if (known) continue;
    TStationRow row;
    row.Drive = BatchRowOfDrive(static_cast<int64_t>(rows_.size()) + 1, entry);
    row.Identity = entry.Identity;
    row.Volumes = entry.AssociatedPartitions;
    row.Entry = entry;
    rows_.push_back(std::move(row));
    seen.push_back(true);
    changed_ = true;
  }
  for (size_t i = 0; i < rows_.size(); ++i) {
    TStationRow& row = rows_[i];
    if (seen[i] || row.State == TStationState::Gone) continue;
    row.Present = false;
    row.Ticked = false;
    // A run of a drive that went ends as its process finds it gone; its row
    // is marked once the run has ended.
    if (row.State != TStationState::Running && row.State != TStationState::Waiting) {
      row.State = TStationState::Gone;
    }
    changed_ = true;
  }
  Draw();
}

void TStation::Tick(size_t row, bool ticked) {
  if (row >= rows_.size()) return;
  TStationRow& r = rows_[row];
  const bool tickable = r.State == TStationState::Idle || r.State == TStationState::Done;
  const bool now = ticked && tickable;
  if (r.Ticked != now) changed_ = true;
  r.Ticked = now;
  Draw();
}

TRunOrder TStation::OrderFor(const TStationRow& row) const {
  TRunOrder o;
  o.Number = row.Drive.Number;
  o.Identity = row.Identity;
  o.Path = row.Drive.Path;
  o.Simulate = setup_.Host.Simulate;
  o.SimulateFile = setup_.Host.SimulateFile;
  o.Quick = mode_.Kind == TStationMode::TKind::Quick;
  o.Verify = mode_.Kind != TStationMode::TKind::Firmware && mode_.Verify;
  if (mode_.Kind == TStationMode::TKind::Firmware) o.Firmware = mode_.Method;
  o.RecordDir = setup_.RecordDir;
  return o;
}

std::string TStation::Question(const std::vector<size_t>& rows,
                               const std::vector<TAskedDrive>& asked) const {
  std::string text = "你真的确认你要删除 以下设备上的所有数据吗?\r\n";
  for (size_t k = 0; k < rows.size(); ++k) {
    const TBatchRow& d = rows_[rows[k]].Drive;
    const TAskedDrive& a = asked[k];
    text += "\r\n[" + DecText(d.Number) + "] " + VisibleText(d.Model) + "   序列号 " +
            VisibleText(d.Serial) + "   " + SizeToStr(d.Capacity) + "   " + d.Bus + "   " +
            VisibleText(d.Path);
    if (!a.Volumes.empty()) text += "\r\n    先卸载: " + VisibleText(a.Volumes);
    if (!a.Hidden.empty()) text += "\r\n    " + a.Hidden;
    if (!a.HealthLine.empty()) text += "\r\n    " + a.HealthLine;
  }
  return text + "\r\n\r\n方式: " + ModeText(mode_);
}

bool TStation::StartTicked() {
  std::vector<size_t> chosen;
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].Ticked && rows_[i].Present) chosen.push_back(i);
  }
  if (chosen.empty()) return false;
  std::vector<TAskedDrive> asked;
  for (const size_t i : chosen) {
    asked.push_back(AskDrive(rows_[i].Entry));
    TStationRow& row = rows_[i];
    row.Drive.Health = asked.back().Health.Verdict;
    if (row.Drive.Health != THealthVerdict::Unknown) {
      row.Health = HealthVerdictText(row.Drive.Health);
    }
  }
  changed_ = true;
  Draw();
  const int answer = ShowTaskDialog(ui_, "警告", "所选设备上的所有数据将丢失",
                                    Question(chosen, asked), kIconWarning,
                                    kButtonYes | kButtonCancel);
  if (answer != kResultYes) return false;
  TRunGroup group;
  std::vector<TBatchMember> members;
  for (const size_t i : chosen) {
    TStationRow& row = rows_[i];
    // Gone while the question was open: not started.
    if (!row.Present) continue;
    TBatchMember m;
    m.Row = row.Drive;
    m.Row.Outcome = TRowOutcome::NotStarted;
    m.Row.RecordFile.clear();
    m.Order = OrderFor(row);
    members.push_back(std::move(m));
    group.Rows.push_back(i);
    row.Ticked = false;
    row.Ran = true;
    row.State = TStationState::Waiting;
    row.Percent = -1;
    row.Mbps = 0;
    row.SecondsLeft = -1;
    row.Pass = 0;
  }
  if (members.empty()) return false;
  group.Engine = std::make_unique<TBatchEngine>(setup_.MemberProgram, std::move(members),
                                                setup_.Jobs, *this);
  groups_.push_back(std::move(group));
  changed_ = true;
  Poll();
  return true;
}

void TStation::Stop(const std::vector<size_t>& rows) {
  for (TRunGroup& group : groups_) {
    if (rows.empty()) {
      if (group.Engine->Busy()) group.Engine->Stop();
      continue;
    }
    for (size_t k = 0; k < group.Rows.size(); ++k) {
      if (std::find(rows.begin(), rows.end(), group.Rows[k]) != rows.end() &&
          group.Engine->Members()[k].State != TBatchMember::TState::Done) {
        group.Engine->Stop(k);
      }
    }
  }
}

bool TStation::OpenCertificate(size_t row) {
  if (row >= rows_.size() || rows_[row].Drive.RecordFile.empty()) {
    ui_.ShowMessage(station::kNoCertificateText, station::kTitle, TMessageIcon::Information);
    return false;
  }
  const std::string page = SaveCertificateFor(rows_[row].Drive.RecordFile);
  if (page.empty()) return false;
  view_.OpenPage(page);
  return true;
}

TStationRow* TStation::RowOfMember(size_t index) {
  if (!hearing_ || index >= hearing_->Rows.size()) return nullptr;
  return &rows_[hearing_->Rows[index]];
}

void TStation::MemberLine(size_t index, const std::string& text, bool) {
  if (TStationRow* row = RowOfMember(index)) row->LastLine = text;
}

void TStation::MemberProgress(size_t index) {
  TStationRow* row = RowOfMember(index);
  if (!row) return;
  const TRunProgress& p = hearing_->Engine->Members()[index].Progress;
  row->State = TStationState::Running;
  row->Pass = p.Pass;
  row->Percent = p.Total > 0 ? static_cast<int>(p.Done * 100 / p.Total) : -1;
  row->Mbps = p.ElapsedMs > 0
                  ? static_cast<double>(p.Done) / 1000.0 / static_cast<double>(p.ElapsedMs)
                  : 0;
  row->SecondsLeft = SecondsLeft(p.Done, p.Total, p.ElapsedMs);
  changed_ = true;
}

void TStation::MemberEnded(size_t index, bool started, const std::string& why) {
  TStationRow* row = RowOfMember(index);
  if (!row) return;
  const TBatchMember& m = hearing_->Engine->Members()[index];
  const int64_t number = row->Drive.Number;
  const THealthVerdict health = row->Drive.Health;
  row->Drive = m.Row;
  row->Drive.Number = number;
  if (row->Drive.Health == THealthVerdict::Unknown) row->Drive.Health = health;
  if (!started) row->LastLine = why;
  row->State = row->Present ? TStationState::Done : TStationState::Gone;
  row->Percent = -1;
  changed_ = true;
}

bool TStation::Poll() {
  if (events_ && events_->Changed()) Rescan();
  for (TRunGroup& group : groups_) {
    if (!group.Engine->Busy()) continue;
    hearing_ = &group;
    group.Engine->Poll();
    hearing_ = nullptr;
    for (size_t k = 0; k < group.Rows.size(); ++k) {
      TStationRow& row = rows_[group.Rows[k]];
      if (group.Engine->Members()[k].State == TBatchMember::TState::Running &&
          row.State == TStationState::Waiting) {
        row.State = TStationState::Running;
        changed_ = true;
      }
    }
  }
  // Groups that have ended are let go; their rows keep what they said.
  groups_.erase(std::remove_if(groups_.begin(), groups_.end(),
                               [](const TRunGroup& g) { return !g.Engine->Busy(); }),
                groups_.end());
  const bool changed = changed_;
  Draw();
  return changed;
}

bool TStation::Busy() const {
  return std::any_of(groups_.begin(), groups_.end(),
                     [](const TRunGroup& g) { return g.Engine->Busy(); });
}

void TStation::Draw() {
  if (!changed_) return;
  changed_ = false;
  view_.ShowRows(rows_);
  int64_t present = 0, running = 0, finished = 0;
  bool startable = false;
  for (const TStationRow& row : rows_) {
    if (row.Present) ++present;
    if (row.State == TStationState::Running || row.State == TStationState::Waiting) ++running;
    if (row.Ran && (row.State == TStationState::Done || row.State == TStationState::Gone)) {
      ++finished;
    }
    if (row.Ticked && row.Present) startable = true;
  }
  view_.ShowStatus(std::string(station::kDrivesText) + DecText(present) + station::kRunningText +
                   DecText(running) + station::kFinishedText + DecText(finished));
  view_.EnableButtons(startable, running > 0);
}

}  // namespace quarnel
