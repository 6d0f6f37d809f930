// The batch engine: one process per drive (the terminal program again, as a
// batch member), started a few at a time, watched without waiting, stopped on
// request, each ending in its row. A run that fails, hangs or crashes takes no
// other with it: nothing of one run's state is shared with another's. The
// terminal's format of several drives drives it from a loop; a window drives
// it from its timer.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "base/System.h"
#include "batch/BatchProtocol.h"
#include "batch/BatchReport.h"

namespace quarnel {

/// One drive of a batch, from its order to its row.
struct TBatchMember {
  TRunOrder Order;
  TBatchRow Row;
  enum class TState { Waiting, Running, Done } State = TState::Waiting;
  TRunProgress Progress;  // the last the run said
  int ProcessStatus = -1;  // once Done: the process's exit status (-1 none)
  bool StopAsked = false;

  std::unique_ptr<TChildProcess> Child;
  TMemberStream Stream;
  bool Said = false;  // the run's outcome came
};

/// What the engine tells its front end, as it happens.
class TBatchObserver {
 public:
  virtual ~TBatchObserver() = default;
  /// A line of the member's log, or (`stray`) output that was no event.
  virtual void MemberLine(size_t index, const std::string& text, bool stray) = 0;
  virtual void MemberProgress(size_t index) = 0;
  /// The member is Done: its row is final. `started` is false when its
  /// process could not be started (the row's outcome is "refused").
  virtual void MemberEnded(size_t index, bool started, const std::string& why) = 0;
};

class TBatchEngine {
 public:
  /// `program` is the terminal program's file; `jobs` runs at once, 0 all.
  TBatchEngine(std::string program, std::vector<TBatchMember> members, size_t jobs,
               TBatchObserver& observer);
  /// One more member, while the others run (a drive that arrived); it waits
  /// for its place as the others did. Returns its index. A member added
  /// after Stop() is never started.
  ~TBatchEngine();
  TBatchEngine(const TBatchEngine&) = delete;
  TBatchEngine& operator=(const TBatchEngine&) = delete;

  /// Starts what may start, reads what every run said since, and ends the
  /// runs whose process is gone. Never waits. True when anything was heard
  /// or ended (a caller's loop pauses otherwise).
  bool Poll();
  /// A run is going or waiting for its place.
  bool Busy() const;
  /// Every run is asked to stop (as Ctrl+C at its terminal would: it ends
  /// with its flush and its record); those not started never start.
  void Stop();
  /// The one run (a window's Stop on one row); a waiting one is not started.
  void Stop(size_t index);
  bool Stopping() const { return stopping_; }
  size_t Add(TBatchMember member);

  const std::vector<TBatchMember>& Members() const { return members_; }
  std::vector<TBatchRow> Rows() const;

 private:
  void Start(size_t index);
  void Finish(size_t index);
  void Hear(size_t index);

  std::string program_;
  std::vector<TBatchMember> members_;
  size_t jobs_;
  TBatchObserver& observer_;
  bool stopping_ = false;
};

}  // namespace quarnel
