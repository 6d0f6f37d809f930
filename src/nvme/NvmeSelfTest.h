// NVMe Device Self-test: whether the controller offers it, the command (by
// the hosts' own request), and the self-test log (06h). The decoders are
// pure functions over bytes; the commands write no log line.
#pragma once

#include <cstdint>
#include <vector>

#include "base/SelfTest.h"
#include "host/Host.h"
#include "nvme/NvmeDecode.h"

namespace quarnel {

inline constexpr size_t kNvmeSelfTestLogSize = 564;
using TNvmeSelfTestBlock = uint8_t[kNvmeSelfTestLogSize];

/// Identify Controller OACS (bytes 256-257) bit 4.
bool NvmeOffersSelfTest(const TNvmeIdentifyBlock& controller);

/// EDSTT (bytes 316-317): the minutes the controller says an extended test takes.
uint16_t NvmeExtendedSelfTestMinutes(const TNvmeIdentifyBlock& controller);

/// The self-test code of CDW10 for a kind: 1h short, 2h extended, Fh abort;
/// 0 for a kind NVMe has not (conveyance).
uint8_t NvmeSelfTestCode(TSelfTestKind kind);

/// The log: byte 0 the operation in progress (0: none), byte 1 its percent
/// complete, then 20 results of 28 bytes, newest first, an unused one with
/// result Fh. False when `size` is short of the whole log.
bool DecodeNvmeSelfTestLog(const uint8_t* log, size_t size, TSelfTestProgress* progress,
                           std::vector<TSelfTestEntry>* entries);

/// The self-test log through the storage query. Return false on refusal.
bool NvmeReadSelfTestLog(THandle handle, TNvmeSelfTestBlock& log);

/// Device Self-test with this code for all namespaces. False when the
/// request failed; otherwise *status holds the completion status (0: begun).
bool NvmeSendSelfTest(THandle handle, uint8_t code, uint32_t* status);

/// The completion status that says a self-test already runs.
inline constexpr uint32_t kNvmeSelfTestInProgress = 0x1D;

}  // namespace quarnel
