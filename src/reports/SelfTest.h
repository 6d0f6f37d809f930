// A drive's self-tests across ATA and NVMe: what it offers, how the one it
// runs goes, its log, starting one and the report's lines about them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ata/Identification.h"
#include "base/SelfTest.h"
#include "host/Host.h"

namespace quarnel {

/// What a drive says of its self-tests.
struct TSelfTestFacts {
  bool Nvme = false;
  bool Asked = false;         // the drive answered the question (a SMART page, an Identify)
  bool Offered = false;       // short and extended tests
  bool Conveyance = false;    // ATA only
  uint32_t ShortMinutes = 0;  // the drive's own estimate; 0 when it gives none
  uint32_t ExtendedMinutes = 0;
  bool ProgressRead = false;
  TSelfTestProgress Progress;
  bool LogRead = false;
  std::vector<TSelfTestEntry> Log;  // newest first
};

/// Asks the drive: the SMART data page and the self-test log of an ATA
/// drive, Identify Controller and the self-test log of an NVMe drive.
TSelfTestFacts ReadSelfTestFacts(THandle handle, const TIdentifyDeviceData& id);

/// The ATA self-test facts from a SMART page and its self-test log
/// (nullptr: the log was not read), both 512 bytes.
TSelfTestFacts AtaSelfTestFacts(const uint8_t* page, const uint8_t* log);

/// Only the progress (for polling): the SMART page's byte 363, or the
/// NVMe log's current operation. False when the drive gave no answer.
bool ReadSelfTestProgress(THandle handle, const TIdentifyDeviceData& id, TSelfTestProgress* p);

enum class TSelfTestStart { Started, NotOffered, KindNotOffered, AlreadyRunning, Refused };

/// Starts (or with Abort, stops) a self-test the drive offers.
TSelfTestStart StartSelfTest(THandle handle, const TIdentifyDeviceData& id,
                             const TSelfTestFacts& facts, TSelfTestKind kind);

/// The name of a kind as the command line gives it, and the report text of a log entry.
const char* SelfTestKindName(TSelfTestKind kind);
std::string SelfTestEntryText(const TSelfTestEntry& entry);

/// True for statuses that say the drive found a fault.
bool SelfTestFailed(TSelfTestStatus status);

/// The report's section: what the drive offers, whether one runs, and up to
/// `count` log entries, newest first; a closing blank line.
std::vector<std::string> SelfTestLines(const TSelfTestFacts& facts, size_t count = 5);

}  // namespace quarnel
