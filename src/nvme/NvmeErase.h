// NVMe Format NVM (80h) and Sanitize (84h) as submission queue entries, the
// sanitize status log (81h), and the hosts' erase request that carries them.
#pragma once

#include <cstdint>

#include "host/EraseRequests.h"
#include "host/Host.h"
#include "nvme/NvmeDecode.h"

namespace quarnel {

/// Namespace ids of a Format NVM: the drive's own (the host puts it in), or all.
inline constexpr uint32_t kNvmeOwnNamespace = 0;
inline constexpr uint32_t kNvmeAllNamespaces = 0xFFFFFFFFu;

/// Format NVM keeping the namespace's LBA format, metadata and protection
/// settings; `ses` 1 user data erase, 2 crypto erase.
TNvmeCommand NvmeFormatCommand(uint32_t nsid, const TNvmeNamespace& ns, uint8_t ses);

/// Sanitize with `sanact` 2 block erase, 3 overwrite (one pass of zeros) or
/// 4 crypto erase; unrestricted exit allowed, so a failure does not hold the
/// drive in a state only another sanitize can end.
TNvmeCommand NvmeSanitizeCommand(uint8_t sanact);

/// Sends one erase command. True when it completed; *status holds the
/// completion's status field (0: success).
bool NvmeSendErase(THandle handle, const TNvmeCommand& command, uint32_t timeoutMs,
                   uint32_t* status);

/// The sanitize status log.
struct TNvmeSanitizeStatus {
  uint16_t Progress = 0;          // SPROG, of 65536
  uint8_t State = 0;              // SSTAT 2:0: 0 never, 1 done, 2 in progress, 3 failed, 4 done
  bool GlobalDataErased = false;  // SSTAT bit 8
};

TNvmeSanitizeStatus DecodeNvmeSanitizeStatus(const uint8_t (&log)[512]);

/// Reads the sanitize status log through the storage query. Return false on refusal.
bool NvmeReadSanitizeLog(THandle handle, uint8_t (&log)[512]);

/// "Invalid Field in Command" and the like: the status field in words.
std::string NvmeStatusText(uint32_t status);

}  // namespace quarnel
