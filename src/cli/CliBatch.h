// Several drives in one format command: one confirmation, then one process
// per drive (this program again, as a batch member), watched by this one.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "devices/DriveIdentity.h"
#include "frontend/CommandLine.h"
#include "record/BatchReport.h"

namespace quarnel {

class TCliUi;

/// format D1 D2 ...: the supervisor. Returns the status of the worst outcome.
int CommandFormatBatch(const TCliOptions& options, TCliUi& ui, std::ostream& out,
                       std::ostream& err);

/// The question's line on what a format will do; `firstMethod` names the
/// method --firmware without one takes.
std::string ModeLine(const TCliOptions& options, const std::string& firstMethod);

/// The drive the batch's question named, as --batch-member passes it on:
/// its number in the batch's list and its identity
/// ("NUMBER:SEQUENCE:LENGTH:MODEL:SERIAL", the texts in hexadecimal, "-" for
/// no sequence number), and back.
std::string MemberIdentityText(int64_t number, const TDriveIdentity& identity);
bool ReadMemberIdentity(const std::string& text, int64_t* number, TDriveIdentity* identity);

/// The exit status of one row, and of a batch: that of its worst outcome,
/// worst first: failed (also refused and crashed) 1, aborted 4, in use 5,
/// cancelled (also not started) 3, visible-sectors-only 6, complete 0.
int RowStatus(const TBatchRow& row);
int BatchStatus(const std::vector<TBatchRow>& rows);

}  // namespace quarnel
