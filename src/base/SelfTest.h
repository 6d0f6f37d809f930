// A drive's own self-test, as ATA and NVMe drives both run and log it: what
// to ask for, and the decoded log entries and progress. Plain types only.
#pragma once

#include <cstdint>
#include <optional>

namespace quarnel {

/// What a person asks the drive to do.
enum class TSelfTestKind { Short, Extended, Conveyance, Abort };

/// The routine a log entry tells of.
enum class TSelfTestType { Offline, Short, Extended, Conveyance, Selective, Vendor };

/// How a self-test ended (or that it still runs).
enum class TSelfTestStatus {
  Completed,         // without error
  AbortedByHost,     // an abort command stopped it
  Interrupted,       // a reset (or, NVMe, a namespace change, format or sanitize) ended it
  FatalError,        // it could not complete: a fatal or unknown error
  FailedUnknown,     // it completed with a failure in an unknown element
  FailedElectrical,  // ATA: the electrical element failed
  FailedServo,       // ATA: the servo (or seek) element failed
  FailedRead,        // ATA: the read element failed
  FailedHandling,    // ATA: the drive suspects handling damage
  FailedSegment,     // NVMe: one or more segments failed
  AbortedOther,      // NVMe: aborted for another or unknown reason
  InProgress,
  Unknown,  // a code the standards reserve
};

/// One entry of a drive's self-test log.
struct TSelfTestEntry {
  TSelfTestType Type = TSelfTestType::Short;
  TSelfTestStatus Status = TSelfTestStatus::Completed;
  uint8_t StatusCode = 0;                   // the raw status (ATA nibble, NVMe result)
  std::optional<uint8_t> RemainingPercent;  // ATA: what was left when it ended
  uint64_t LifetimeHours = 0;               // power-on hours when it ended
  std::optional<uint64_t> FailingLba;       // the first sector it could not read
  uint8_t Segment = 0;                      // NVMe: the failed segment (1..7), else 0
};

/// What the drive says of the self-test now.
struct TSelfTestProgress {
  bool Running = false;
  int RemainingPercent = 0;                           // while running: of the whole test
  TSelfTestStatus Last = TSelfTestStatus::Completed;  // ATA: how the last one ended
};

}  // namespace quarnel
