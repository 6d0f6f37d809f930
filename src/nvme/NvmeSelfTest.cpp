#include "nvme/NvmeSelfTest.h"

#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

namespace {

constexpr size_t kOacs = 256;
constexpr size_t kEdstt = 316;
constexpr size_t kFirstResult = 4;
constexpr size_t kResultSize = 28;
constexpr int kResults = 20;

TSelfTestStatus NvmeResultStatus(uint8_t result) {
  switch (result) {
    case 0x0:
      return TSelfTestStatus::Completed;
    case 0x1:
      return TSelfTestStatus::AbortedByHost;
    case 0x2:
    case 0x3:
    case 0x4:
    case 0x9:
      // A reset, a namespace removed, a format or a sanitize ended it.
      return TSelfTestStatus::Interrupted;
    case 0x5:
      return TSelfTestStatus::FatalError;
    case 0x6:
      return TSelfTestStatus::FailedUnknown;
    case 0x7:
      return TSelfTestStatus::FailedSegment;
    case 0x8:
      return TSelfTestStatus::AbortedOther;
    default:
      return TSelfTestStatus::Unknown;
  }
}

TSelfTestType NvmeTestType(uint8_t code) {
  if (code == 0x1) return TSelfTestType::Short;
  if (code == 0x2) return TSelfTestType::Extended;
  return TSelfTestType::Vendor;
}

}  // namespace

bool NvmeOffersSelfTest(const TNvmeIdentifyBlock& controller) {
  return (GetU16(controller, kOacs) & 0x10) != 0;
}

uint16_t NvmeExtendedSelfTestMinutes(const TNvmeIdentifyBlock& controller) {
  return GetU16(controller, kEdstt);
}

uint8_t NvmeSelfTestCode(TSelfTestKind kind) {
  switch (kind) {
    case TSelfTestKind::Short:
      return 0x1;
    case TSelfTestKind::Extended:
      return 0x2;
    case TSelfTestKind::Abort:
      return 0xF;
    case TSelfTestKind::Conveyance:
      return 0;
  }
  return 0;
}

bool DecodeNvmeSelfTestLog(const uint8_t* log, size_t size, TSelfTestProgress* progress,
                           std::vector<TSelfTestEntry>* entries) {
  if (log == nullptr || size < kNvmeSelfTestLogSize) return false;
  *progress = TSelfTestProgress{};
  progress->Running = (log[0] & 0x0F) != 0;
  const int complete = log[1] & 0x7F;
  if (progress->Running) progress->RemainingPercent = complete > 100 ? 0 : 100 - complete;
  entries->clear();
  for (int k = 0; k < kResults; ++k) {
    const uint8_t* r = log + kFirstResult + kResultSize * static_cast<size_t>(k);
    const uint8_t result = r[0] & 0x0F;
    if (result == 0xF) continue;  // an entry not used
    TSelfTestEntry e;
    e.Type = NvmeTestType(static_cast<uint8_t>(r[0] >> 4));
    e.StatusCode = result;
    e.Status = NvmeResultStatus(result);
    e.Segment = e.Status == TSelfTestStatus::FailedSegment ? r[1] : 0;
    e.LifetimeHours = GetU64(r, 4);
    if ((r[2] & 0x02) != 0) e.FailingLba = GetU64(r, 16);  // the FLBA field is valid
    entries->push_back(e);
  }
  if (!entries->empty() && !progress->Running) progress->Last = entries->front().Status;
  return true;
}

bool NvmeSendSelfTest(THandle handle, uint8_t code, uint32_t* status) {
  uint8_t in[win::kNVME_SELF_TEST_IN_SIZE] = {};
  uint8_t out[win::kNVME_SELF_TEST_OUT_SIZE] = {};
  PutU32(in, 0, code & 0x0Fu);
  uint32_t got = 0;
  if (!GetHost().DeviceIoControl(handle, win::kQUARNEL_IOCTL_NVME_SELF_TEST, in, sizeof in, out,
                                 sizeof out, &got) ||
      got < sizeof out) {
    return false;
  }
  *status = GetU32(out, 0);
  return true;
}

}  // namespace quarnel
