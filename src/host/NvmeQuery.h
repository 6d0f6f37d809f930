// The NVMe protocol-specific storage query as the hosts read it, the Linux
// admin command it becomes, and the Windows 10 reply layout. Pure functions
// over bytes, shared by LinuxHost and SimHost.
#pragma once

#include <cstdint>

namespace quarnel {

/// An IOCTL_STORAGE_QUERY_PROPERTY request for NVMe data, as read from its input.
struct TNvmeQuery {
  bool Identify = false;      // else a log page
  uint32_t Cns = 0;           // Identify: 0 namespace, 1 controller
  uint32_t NamespaceId = 0;   // Identify Namespace: 0 stands for the drive's own
  uint32_t LogId = 0;         // log page: 02h
  uint32_t DataLength = 0;    // bytes asked for
  uint8_t Specific[40] = {};  // the request's STORAGE_PROTOCOL_SPECIFIC_DATA, echoed back
};

/// True when a storage query asks for protocol-specific data (property 49 or 50).
bool IsProtocolSpecificQuery(const uint8_t* in, uint32_t inSize);

/// Reads and checks a request: Identify Controller, Identify Namespace (device
/// property), the health, self-test and sanitize logs only, whole blocks, no
/// offsets; the output area must hold the reply. Returns 0 or the Win32 code
/// of the refusal.
uint32_t ParseNvmeQuery(const uint8_t* in, uint32_t inSize, uint32_t outSize, TNvmeQuery* query);

/// Size of the Linux struct nvme_admin_cmd (linux/nvme_ioctl.h).
inline constexpr uint32_t kNvmeAdminCmdSize = 72;

/// The NVME_IOCTL_ADMIN_CMD block for a query: Identify (06h) with its CNS,
/// or Get Log Page (02h) for all namespaces with the zero-based dword count.
/// `ownNamespace` replaces a namespace id of 0; `dataAddress` is the buffer.
void BuildNvmeAdminCommand(const TNvmeQuery& query, uint32_t ownNamespace, uint64_t dataAddress,
                           uint8_t (&command)[kNvmeAdminCmdSize]);

/// Reads a self-test request (kQUARNEL_IOCTL_NVME_SELF_TEST): the codes 1h
/// (short), 2h (extended) and Fh (abort) only, nothing else in CDW10, room
/// for the reply. Returns 0 or the Win32 code of the refusal.
uint32_t ParseNvmeSelfTestRequest(const uint8_t* in, uint32_t inSize, uint32_t outSize,
                                  uint8_t* code);

/// The NVME_IOCTL_ADMIN_CMD block of Device Self-test (14h) with this code,
/// for the controller and all its namespaces; no data.
void BuildNvmeSelfTestCommand(uint8_t code, uint8_t (&command)[kNvmeAdminCmdSize]);

/// Win32 code of an admin command's outcome: the ioctl's result (negative:
/// failed with `error`; positive: the NVMe status the controller gave).
uint32_t Win32FromNvmeResult(int result, int error);

/// Lays out the reply: STORAGE_PROTOCOL_DATA_DESCRIPTOR (the request's
/// specific data with the offset and length filled in, `completion` as the
/// fixed return data), then `query.DataLength` bytes of `data`. Returns its length.
uint32_t BuildNvmeReply(const TNvmeQuery& query, const uint8_t* data, uint32_t completion,
                        uint8_t* out);

}  // namespace quarnel
