// The erase record as a JSON file (docs/erase-record.md), and the writers the
// front ends install: one file named on the command line, or a new file per
// run in the user's data folder.
#pragma once

#include <memory>
#include <string>

#include "base/System.h"
#include "erase/EraseRecord.h"
#include "record/RecordCrypto.h"

namespace quarnel {

/// The record as indented JSON text, sealed, and signed with `key` when one
/// is given. `simulated` says the drive was a simulated one.
/// The record's names of a sample check's result ("erased", "not-erased",
/// "inconclusive") and of the pattern it expected ("zeros", "ones",
/// "unspecified").
const char* SampleResultName(TSampleResult result);
const char* ErasedPatternName(TErasedPattern pattern);

std::string EraseRecordJson(const TEraseRecord& record, bool simulated,
                            const TSigningKey* key = nullptr);

/// "quarnel-erase-<serial>-<UTC time>.json"; characters of the serial that do
/// not belong in a file name become "_".
std::string EraseRecordFileName(const std::string& serial, const std::string& utcTime);

/// Creates a new record file in `folder` under EraseRecordFileName. Drives
/// without a serial of their own, or several with the same one, may start in
/// the same millisecond: when that name is taken, "-2", "-3", ... go before
/// ".json" until a free one is found. Never opens a file that was there. The
/// chosen path goes to *path; false with *error set when none can be created.
bool CreateEraseRecordFile(TKeptFile* file, const std::string& folder, const std::string& serial,
                           const std::string& utcTime, std::string* path, std::string* error);

/// A run's writer: every record into `file`, which the terminal program
/// opened at `path` before the run and keeps open to its end; signed with
/// `key` when one is given.
TEraseRecordWriter EraseRecordWriterTo(std::shared_ptr<TKeptFile> file, const std::string& path,
                                       bool simulated,
                                       std::shared_ptr<const TSigningKey> key = nullptr);

/// A run's writer: with an empty path, a new file per record in the user's
/// data folder (created with the user's rights); otherwise into the file
/// `path`, opened now and replaced by each record. No writer, with *error
/// set, when that file cannot be opened.
TEraseRecordWriter EraseRecordWriter(const std::string& path, bool simulated,
                                     std::string* error = nullptr);

}  // namespace quarnel
