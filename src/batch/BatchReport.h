// A batch of drives erased by one command: the end table's rows and the
// document a script reads (docs/cli-json.md).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "erase/EraseRecord.h"
#include "reports/Health.h"

namespace quarnel {

/// How a drive of a batch ended: its record's outcome, or, without a record,
/// refused (the run ended before it began: nothing was written), crashed
/// (the run's process ended without a word) or not started (the batch was
/// stopped first).
enum class TRowOutcome {
  Complete, Failed, Cancelled, Aborted, NotLocked, DriveChanged, Refused, Crashed, NotStarted
};

/// The JSON and table name ("complete", ..., "not-started"), and back from
/// a record's outcome name (an unknown one is Failed: nothing is taken for
/// more than it says).
const char* RowOutcomeName(TRowOutcome outcome);
TRowOutcome RowOutcomeOfRecord(const std::string& name);

/// One drive of a batch, as the end table and the JSON document give it.
struct TBatchRow {
  int64_t Number = 0;  // its place in the list
  std::string Model, Serial, Bus, Path;
  int64_t Capacity = 0;
  TRowOutcome Outcome = TRowOutcome::NotStarted;
  std::string Coverage;  // the record's coverage; empty without a record
  int64_t BytesWritten = 0;
  double Seconds = 0;      // from the run's start to its end, read-back included
  double AverageMBps = 0;  // of the writing: 10^6 bytes per second; 0 when none
  std::string
      Verification;  // "passed", "failed", "not-run", "not-asked", or the sample check's result
  std::string RecordFile;  // empty when no file was written
  std::string StoppedBy;   // "stop-below" or "stop-above", or empty
  int ExitStatus = -1;     // the run's own status; -1 when it had none
  std::string Record;      // the record as compact JSON text; empty without one
  // The verdict the question showed (asked by the supervisor), then the one
  // the run's record holds before its run, when it has one.
  THealthVerdict Health = THealthVerdict::Unknown;
};

/// The batch as one JSON document: {"drives": [...], "exit_status": N}.
std::string BatchJson(const std::vector<TBatchRow>& rows, int exitStatus);

}  // namespace quarnel
