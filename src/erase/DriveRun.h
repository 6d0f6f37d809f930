// One drive's run: everything an erase of one drive needs, from the question
// to its record, in one object. It is given the host, the front end's seam
// (its lines, progress, questions and stop button), the drive's entry and
// the drive opened for reading and writing; it keeps the volume locks and
// the claim, the stop request, the engine's clock and the record. Nothing of
// it lives anywhere else, so one process can hold many runs and a test makes
// a fresh one.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "devices/DeviceTable.h"
#include "devices/VolumeLocking.h"
#include "erase/EraseRecord.h"
#include "host/Host.h"
#include "ui/UiSeam.h"

namespace quarnel {

class TDriveRun {
 public:
  /// `handle` stays its opener's: the run borrows it and never closes it.
  TDriveRun(Host& host, TUiSeam& ui, const TDeviceTable& drive, THandle handle,
            std::string description);
  TDriveRun(const TDriveRun&) = delete;
  TDriveRun& operator=(const TDriveRun&) = delete;

  // Before the run.

  /// Where the finished record goes; without a writer no record is kept and
  /// SMART is not read for it.
  void SetEraseRecordWriter(TEraseRecordWriter writer) { writer_ = std::move(writer); }
  /// Who erased, for whom, where, which asset: kept in the record.
  void SetEraseRecordContext(const TEraseContext& context) { context_ = context; }
  /// The engine's clock in milliseconds (local wall clock); tests fix it.
  /// An empty function means the system clock.
  void SetFormatClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }
  /// Where the zero buffer comes from (tests make it fail): a block of the
  /// given size that reads as zeros, released with ReleaseZeroBlock, or
  /// nullptr. An empty function means AllocateZeroBlock.
  void SetZeroBufferAllocator(std::function<void*(size_t)> allocate) {
    allocate_ = std::move(allocate);
  }

  // The run.

  /// The format button's procedure: what the drive's own erase offers, the
  /// question, the locks, the run and its read-back, the record. True only
  /// for a complete run.
  bool FormatSelectedDevice();
  /// The stop button: the run stops before its next block. Safe from any
  /// thread.
  void StopButtonClicked() { stop_ = true; }
  bool StopRequested() const { return stop_; }
  /// A stop that was heeded is cleared by the run it ended.
  void ClearStopRequest() { stop_ = false; }
  bool FormatInProgress() const { return inProgress_; }

  // What the run is about.

  Host& GetHost() const { return host_; }
  TUiSeam& Ui() const { return ui_; }
  const TDeviceTable& Drive() const { return drive_; }
  THandle DeviceHandle() const { return handle_; }
  const std::string& DeviceDescription() const { return description_; }
  TVolumeLocks& Locks() { return locks_; }
  /// The engine's clock now, in milliseconds.
  int64_t FormatClockNow() const;
  /// A block for the zero fill, as SetZeroBufferAllocator says.
  void* AllocateZeroBuffer(size_t size) const;

  // The record: begun at the confirmation, noted by the engine and the
  // read-back, ended after the run (SMART again, then the writer).

  bool EraseRecordWanted() const { return static_cast<bool>(writer_); }
  void BeginEraseRecord(bool quickWipe, bool verify);
  void EndEraseRecord();
  /// The record being kept; nullptr when none is.
  TEraseRecord* ActiveEraseRecord() { return active_ ? &*active_ : nullptr; }
  void NoteBytesWritten(int64_t bytes);
  void NoteFailedBlock(int64_t offset, int64_t length, uint32_t code);
  void NoteFlush(bool flushed, uint32_t code);
  void NoteOutcome(TEraseOutcome outcome);
  void NoteStopRule(const TStopRule& rule);
  /// The last record handed to the writer (Start is empty when no run began).
  const TEraseRecord& LastEraseRecord() const { return last_; }
  /// The file it went to; empty when it was not saved.
  const std::string& LastEraseRecordFile() const { return lastFile_; }

 private:
  Host& host_;
  TUiSeam& ui_;
  TDeviceTable drive_;
  THandle handle_;
  std::string description_;
  TVolumeLocks locks_;
  std::atomic<bool> stop_{false};
  bool inProgress_ = false;
  std::function<int64_t()> clock_;
  std::function<void*(size_t)> allocate_;
  TEraseRecordWriter writer_;
  TEraseContext context_;
  std::optional<TEraseRecord> active_;
  TEraseRecord last_;
  std::string lastFile_;
};

}  // namespace quarnel
