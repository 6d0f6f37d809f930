// The erase station: every drive of the machine in one table, several
// erased at once through the batch engine (one process per drive), drives
// that come and go shown as they do. The toolkit draws the rows and forwards
// the clicks; every decision is made here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "batch/BatchDrive.h"
#include "batch/BatchEngine.h"
#include "devices/DeviceTable.h"
#include "devices/DriveIdentity.h"
#include "frontend/DriveEvents.h"
#include "frontend/HostChoice.h"
#include "ui/Catalogue.h"

namespace quarnel {

class TUiSeam;

/// Where a drive of the station stands.
enum class TStationState { Idle, Waiting, Running, Done, Gone };

/// One drive of the table, as drawn.
struct TStationRow {
  TBatchRow Drive;  // its fields from the scan; its outcome once Done
  TDriveIdentity Identity;
  TDeviceTable Entry;  // as the last scan found it
  bool Present = true;  // false once the drive has gone
  std::string Volumes;
  std::string Health;  // the verdict's word, "" before it was read
  TStationState State = TStationState::Idle;
  bool Ticked = false;
  bool Ran = false;  // a run of it began in this station
  int Pass = 0;      // 1 the erase, 2 and on the read-back or sample check
  int Percent = -1;  // of the pass in hand; -1 none
  double Mbps = 0;
  double SecondsLeft = -1;
  std::string LastLine;  // the run's last log line

  /// The texts of its columns (station::kColumnCaptions), in order.
  std::array<std::string, station::kColumns> Cells() const;
};

/// The mode the ticked drives are erased with.
struct TStationMode {
  enum class TKind { Full, Quick, Firmware } Kind = TKind::Full;
  std::string Method = "auto";  // the drive's own erase: "auto" or a method
  bool Verify = true;
};

/// The station's window as the core drives it.
class TStationView {
 public:
  virtual ~TStationView() = default;
  virtual void SetTitle(const std::string& title) = 0;
  /// Every row again (a change of any); `rows` stays valid until the next call.
  virtual void ShowRows(const std::vector<TStationRow>& rows) = 0;
  /// The status bar's text.
  virtual void ShowStatus(const std::string& text) = 0;
  /// The buttons that depend on the table: start (a ticked idle drive),
  /// stop (a run going).
  virtual void EnableButtons(bool start, bool stop) = 0;
  /// Opens a page (a certificate) in the user's browser.
  virtual void OpenPage(const std::string& path) = 0;
};

/// What the station starts its runs with: the terminal program's file and
/// the host its members use; where their records go.
struct TStationSetup {
  std::string MemberProgram;
  THostOptions Host;
  std::string RecordDir;
  size_t Jobs = 0;  // runs at once, 0 all
};

class TStation : public TBatchObserver {
 public:
  TStation(TStationView& view, TUiSeam& ui, TStationSetup setup);
  ~TStation() override;
  TStation(const TStation&) = delete;
  TStation& operator=(const TStation&) = delete;

  /// The first scan, drawn; from then on the system's word that a disk came
  /// or went makes the next Poll look again.
  void Start();
  /// The machine's drives again: new identities become rows (also under a
  /// node another drive had), those no longer there are marked gone (a run
  /// of one ends as a vanished drive's run ends). Drawn when changed.
  void Rescan();

  void Tick(size_t row, bool ticked);
  void SetMode(const TStationMode& mode) { mode_ = mode; }
  const TStationMode& Mode() const { return mode_; }

  /// Start: one question names every ticked idle drive; on the safe answer
  /// their runs begin. False when nothing was started.
  bool StartTicked();
  /// Stop on the rows given (the window's selection), or on every run when
  /// none is given.
  void Stop(const std::vector<size_t>& rows);
  /// A finished drive's row: its certificate, made beside its record and
  /// opened. False when it has none.
  bool OpenCertificate(size_t row);

  /// From the window's timer: looks again at the drives when one came or
  /// went, and hears the runs; never waits. True when the
  /// table changed (it was drawn).
  bool Poll();
  /// A run is going or waiting.
  bool Busy() const;

  const std::vector<TStationRow>& Rows() const { return rows_; }

 private:
  // The engine's news (TBatchObserver), heard while Poll runs.
  void MemberLine(size_t index, const std::string& text, bool stray) override;
  void MemberProgress(size_t index) override;
  void MemberEnded(size_t index, bool started, const std::string& why) override;

  struct TRunGroup {
    std::unique_ptr<TBatchEngine> Engine;
    std::vector<size_t> Rows;  // the station's row of each member
  };

  TStationRow* RowOfMember(size_t index);
  TRunOrder OrderFor(const TStationRow& row) const;
  std::string Question(const std::vector<size_t>& rows,
                       const std::vector<TAskedDrive>& asked) const;
  void Draw();

  TStationView& view_;
  TUiSeam& ui_;
  TStationSetup setup_;
  TStationMode mode_;
  std::vector<TStationRow> rows_;
  std::vector<TRunGroup> groups_;
  std::unique_ptr<TDriveEvents> events_;  // none: drives are looked at once only
  TRunGroup* hearing_ = nullptr;  // the group whose engine is calling back
  bool changed_ = false;
};

/// The terminal program beside the program file `programFile`.
std::string MemberProgramBeside(const std::string& programFile);

/// The desktop program's station: its runs by the terminal program beside
/// it, on the same host, their records in the user's data folder (made when
/// missing), all at once.
TStationSetup DesktopStationSetup(const THostOptions& host, const std::string& programFile);

}  // namespace quarnel
