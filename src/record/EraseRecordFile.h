// The erase record as a JSON file (docs/erase-record.md), and the writers the
// front ends install: one file named on the command line, or a new file per
// run in the user's data folder.
#pragma once

#include <string>

#include "format/EraseRecord.h"

namespace quarnel {

/// The record as indented JSON text. `simulated` says the drive was a
/// simulated one.
std::string EraseRecordJson(const TEraseRecord& record, bool simulated);

/// Writes the record to `path`, replacing the file. False with *error set
/// to the system's reason when it cannot.
bool WriteEraseRecordFile(const TEraseRecord& record, bool simulated, const std::string& path,
                          std::string* error);

/// "quarnel-erase-<serial>-<UTC time>.json"; characters of the serial that do
/// not belong in a file name become "_".
std::string EraseRecordFileName(const std::string& serial, const std::string& utcTime);

/// Makes `path` if it does not exist, so that a name that cannot be written
/// is refused before the drive is touched. False with *error set when it
/// cannot be created; *created tells whether it was made just now.
bool PrepareEraseRecordFile(const std::string& path, bool* created, std::string* error);

/// Installs the writer: every record to `path` (the terminal program), or,
/// with an empty path, a new file per record in the user's data folder.
void WriteEraseRecordsTo(const std::string& path, bool simulated);

}  // namespace quarnel
