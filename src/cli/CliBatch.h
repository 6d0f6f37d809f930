// Several drives in one format command: one confirmation, then one process
// per drive (this program again, as a batch member) through the batch engine.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "batch/BatchDrive.h"
#include "batch/BatchEngine.h"
#include "batch/BatchReport.h"
#include "frontend/CommandLine.h"
#include "reports/Health.h"

namespace quarnel {

class TCliUi;

/// format D1 D2 ...: the supervisor. Returns the status of the worst outcome.
int CommandFormatBatch(const TCliOptions& options, TCliUi& ui, std::ostream& out,
                       std::ostream& err);

/// The question's line on what a format will do; `firstMethod` names the
/// method --firmware without one takes.
std::string ModeLine(const TCliOptions& options, const std::string& firstMethod);

/// The member that erases device-table entry `entry` as the batch's drive
/// `number`, asking the drive (read-only, shared) for its hidden sectors and
/// its health, for the question (*asked) and the row.
TBatchMember BatchMemberFor(const TCliOptions& options, int64_t entry, int64_t number,
                            TAskedDrive* asked);

/// The order of one member's run: the command line's mode and record options.
TRunOrder RunOrderFor(const TCliOptions& options, const TBatchRow& row,
                      const TDriveIdentity& identity);

/// The end table of a batch, a line each, columns aligned.
std::vector<std::string> BatchTableLines(const std::vector<TBatchRow>& rows);

/// 0 when --record-dir names a folder (or is not given) and --sign a key
/// that can be used; otherwise the exit status, after saying why.
int RecordOptionsRefusal(const TCliOptions& options, std::ostream& err);

/// watch MODE-OPTIONS --record-dir DIR: erases each drive that appears after
/// it was armed (CliWatch.cpp).
int CommandWatch(const TCliOptions& options, TCliUi& ui, std::ostream& out, std::ostream& err);

/// The asset tag of the drive with `serial` among tags the command line
/// checked: a plain TAG (the one drive), or serial:SERIAL=TAG.
std::string AssetTagFor(const std::vector<std::string>& tags, const std::string& serial);

/// The exit status of one row, and of a batch: that of its worst outcome,
/// worst first: failed (also refused and crashed) 1, aborted 4, in use 5,
/// cancelled (also not started) 3, visible-sectors-only 6, complete 0.
int RowStatus(const TBatchRow& row);
int BatchStatus(const std::vector<TBatchRow>& rows);

}  // namespace quarnel
