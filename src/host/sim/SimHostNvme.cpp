// SimHost NVMe queries: the protocol-specific storage query answered from the
// drive's Identify and health-log blocks, with their refusal faults.
#include <algorithm>
#include <cstring>
#include <vector>

#include "host/HostConstants.h"
#include "host/NvmeQuery.h"
#include "host/sim/SimHost.h"

namespace quarnel {

bool SimHost::NvmeRequest(TSimDrive& d, const uint8_t* in, uint32_t inSize, uint8_t* out,
                          uint32_t outSize, uint32_t* returned) {
  TNvmeQuery q;
  const uint32_t code = ParseNvmeQuery(in, inSize, outSize, &q);
  if (code != 0) return Fail(code);
  if (!q.Identify && q.LogId == win::kNVME_LOG_PAGE_SANITIZE_STATUS) {
    if (!d.Firmware.Configured || d.NvmeController.empty()) return Fail(win::kERROR_NOT_SUPPORTED);
    uint8_t log[win::kNVME_SANITIZE_LOG_SIZE] = {};
    SanitizeLog(d, log);
    *returned = BuildNvmeReply(q, log, 0, out);
    return Succeed();
  }
  if (!q.Identify && q.LogId == win::kNVME_LOG_PAGE_DEVICE_SELF_TEST) {
    if (!SelfTestOffered(d, true)) return Fail(win::kERROR_NOT_SUPPORTED);
    uint8_t log[win::kNVME_SELF_TEST_LOG_SIZE] = {};
    NvmeSelfTestLog(d, log);
    *returned = BuildNvmeReply(q, log, 0, out);
    return Succeed();
  }
  const bool controller = q.Identify && q.Cns == win::kNVME_IDENTIFY_CNS_CONTROLLER;
  const char* request = !q.Identify  ? "nvme_health"
                        : controller ? "nvme_identify_ctrl"
                                     : "nvme_identify_ns";
  if (Refused(d, request)) return false;
  const std::vector<uint8_t>& data = !q.Identify  ? d.NvmeHealth
                                     : controller ? d.NvmeController
                                                  : d.NvmeNamespace;
  // A drive without the block speaks no NVMe (or keeps no such data).
  if (data.size() < q.DataLength) return Fail(win::kERROR_NOT_SUPPORTED);
  // The simulated controller has one namespace, number 1.
  if (q.Identify && !controller && q.NamespaceId > 1) return Fail(win::kERROR_INVALID_PARAMETER);
  std::vector<uint8_t> reply(win::kSTORAGE_PROTOCOL_DATA_DESCRIPTOR_SIZE + q.DataLength);
  uint32_t size = BuildNvmeReply(q, data.data(), 0, reply.data());
  if (d.Faults.is_object() && d.Faults.contains("nvme_bytes")) {
    size = std::min(size, d.Faults.at("nvme_bytes").get<uint32_t>());
  }
  size = std::min(size, outSize);
  std::memcpy(out, reply.data(), size);
  *returned = size;
  return Succeed();
}

}  // namespace quarnel
