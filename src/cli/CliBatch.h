// Several drives in one format command: one confirmation, then one process
// per drive (this program again, as a batch member) through the batch engine.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "frontend/CommandLine.h"
#include "batch/BatchReport.h"

namespace quarnel {

class TCliUi;

/// format D1 D2 ...: the supervisor. Returns the status of the worst outcome.
int CommandFormatBatch(const TCliOptions& options, TCliUi& ui, std::ostream& out,
                       std::ostream& err);

/// The question's line on what a format will do; `firstMethod` names the
/// method --firmware without one takes.
std::string ModeLine(const TCliOptions& options, const std::string& firstMethod);

/// The asset tag of the drive with `serial` among tags the command line
/// checked: a plain TAG (the one drive), or serial:SERIAL=TAG.
std::string AssetTagFor(const std::vector<std::string>& tags, const std::string& serial);

/// The exit status of one row, and of a batch: that of its worst outcome,
/// worst first: failed (also refused and crashed) 1, aborted 4, in use 5,
/// cancelled (also not started) 3, visible-sectors-only 6, complete 0.
int RowStatus(const TBatchRow& row);
int BatchStatus(const std::vector<TBatchRow>& rows);

}  // namespace quarnel
