#include "host/NvmeQuery.h"

#include <cerrno>
#include <cstring>

#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

namespace {

constexpr uint8_t kNvmeAdminGetLogPage = 0x02;
constexpr uint8_t kNvmeAdminIdentify = 0x06;
constexpr uint8_t kNvmeAdminDeviceSelfTest = 0x14;
constexpr uint32_t kAllNamespaces = 0xFFFFFFFFu;

// struct nvme_admin_cmd field offsets (linux/nvme_ioctl.h).
constexpr size_t kCmdOpcode = 0, kCmdNsid = 4, kCmdAddr = 24, kCmdDataLen = 36, kCmdCdw10 = 40,
                 kCmdCdw11 = 44;

}  // namespace

bool IsProtocolSpecificQuery(const uint8_t* in, uint32_t inSize) {
  if (in == nullptr || inSize < 4) return false;
  const uint32_t property = GetU32(in, 0);
  return property == win::kStorageAdapterProtocolSpecificProperty ||
         property == win::kStorageDeviceProtocolSpecificProperty;
}

uint32_t ParseNvmeQuery(const uint8_t* in, uint32_t inSize, uint32_t outSize, TNvmeQuery* q) {
  if (in == nullptr || inSize < win::kNVME_QUERY_HEADER) return win::kERROR_INVALID_PARAMETER;
  const uint32_t property = GetU32(in, 0);
  const uint8_t* spec = in + win::kSTORAGE_PROPERTY_QUERY_AdditionalParameters;
  if (GetU32(in, 4) != win::kPropertyStandardQuery ||
      GetU32(spec, win::kPROTOCOL_ProtocolType) != win::kProtocolTypeNvme) {
    return win::kERROR_INVALID_PARAMETER;
  }
  *q = TNvmeQuery{};
  std::memcpy(q->Specific, spec, sizeof q->Specific);
  const uint32_t type = GetU32(spec, win::kPROTOCOL_DataType);
  const uint32_t value = GetU32(spec, win::kPROTOCOL_ProtocolDataRequestValue);
  const uint32_t sub = GetU32(spec, win::kPROTOCOL_ProtocolDataRequestSubValue);
  q->DataLength = GetU32(spec, win::kPROTOCOL_ProtocolDataLength);
  if (GetU32(spec, win::kPROTOCOL_ProtocolDataOffset) < win::kSTORAGE_PROTOCOL_SPECIFIC_DATA_SIZE) {
    return win::kERROR_INVALID_PARAMETER;
  }
  if (type == win::kNVMeDataTypeIdentify) {
    q->Identify = true;
    q->Cns = value;
    // The controller's data through the adapter, a namespace's through the device.
    const bool controller = value == win::kNVME_IDENTIFY_CNS_CONTROLLER &&
                            property == win::kStorageAdapterProtocolSpecificProperty;
    const bool ns = value == win::kNVME_IDENTIFY_CNS_SPECIFIC_NAMESPACE &&
                    property == win::kStorageDeviceProtocolSpecificProperty;
    if (!controller && !ns) return win::kERROR_NOT_SUPPORTED;
    if (ns) q->NamespaceId = sub;
    if (q->DataLength != win::kNVME_IDENTIFY_DATA_SIZE) return win::kERROR_INVALID_PARAMETER;
  } else if (type == win::kNVMeDataTypeLogPage) {
    q->LogId = value;
    // Only the health log, the self-test log and, for the drive's own
    // erase, the sanitize status: reading others may clear events a
    // monitor waits for.
    if ((value != win::kNVME_LOG_PAGE_HEALTH_INFO && value != win::kNVME_LOG_PAGE_SANITIZE_STATUS &&
         value != win::kNVME_LOG_PAGE_DEVICE_SELF_TEST) ||
        property != win::kStorageDeviceProtocolSpecificProperty) {
      return win::kERROR_NOT_SUPPORTED;
    }
    const uint32_t largest = value == win::kNVME_LOG_PAGE_DEVICE_SELF_TEST
                                 ? win::kNVME_SELF_TEST_LOG_SIZE
                                 : win::kNVME_HEALTH_LOG_SIZE;
    const bool offset = sub != 0 || GetU32(spec, win::kPROTOCOL_ProtocolDataRequestSubValue2) != 0;
    if (offset || q->DataLength == 0 || q->DataLength % 4 != 0 || q->DataLength > largest) {
      return win::kERROR_INVALID_PARAMETER;
    }
  } else {
    return win::kERROR_NOT_SUPPORTED;
  }
  if (outSize < win::kSTORAGE_PROTOCOL_DATA_DESCRIPTOR_SIZE + q->DataLength) {
    return win::kERROR_INSUFFICIENT_BUFFER;
  }
  return win::kERROR_SUCCESS;
}

void BuildNvmeAdminCommand(const TNvmeQuery& q, uint32_t ownNamespace, uint64_t dataAddress,
                           uint8_t (&command)[kNvmeAdminCmdSize]) {
  std::memset(command, 0, sizeof command);
  PutU64(command, kCmdAddr, dataAddress);
  PutU32(command, kCmdDataLen, q.DataLength);
  if (q.Identify) {
    command[kCmdOpcode] = kNvmeAdminIdentify;
    if (q.Cns == win::kNVME_IDENTIFY_CNS_SPECIFIC_NAMESPACE) {
      PutU32(command, kCmdNsid, q.NamespaceId != 0 ? q.NamespaceId : ownNamespace);
    }
    PutU32(command, kCmdCdw10, q.Cns);
    return;
  }
  // NUMD is zero-based: the lower 16 bits in CDW10 31:16, the upper in CDW11.
  const uint32_t numd = q.DataLength / 4 - 1;
  command[kCmdOpcode] = kNvmeAdminGetLogPage;
  PutU32(command, kCmdNsid, kAllNamespaces);
  PutU32(command, kCmdCdw10, (q.LogId & 0xFF) | ((numd & 0xFFFF) << 16));
  PutU32(command, kCmdCdw11, numd >> 16);
}

uint32_t ParseNvmeSelfTestRequest(const uint8_t* in, uint32_t inSize, uint32_t outSize,
                                  uint8_t* code) {
  if (in == nullptr || inSize != win::kNVME_SELF_TEST_IN_SIZE) return win::kERROR_INVALID_PARAMETER;
  const uint32_t cdw10 = GetU32(in, 0);
  if (cdw10 != 0x1 && cdw10 != 0x2 && cdw10 != 0xF) return win::kERROR_INVALID_PARAMETER;
  if (outSize < win::kNVME_SELF_TEST_OUT_SIZE) return win::kERROR_INSUFFICIENT_BUFFER;
  *code = static_cast<uint8_t>(cdw10);
  return win::kERROR_SUCCESS;
}

void BuildNvmeSelfTestCommand(uint8_t code, uint8_t (&command)[kNvmeAdminCmdSize]) {
  std::memset(command, 0, sizeof command);
  command[kCmdOpcode] = kNvmeAdminDeviceSelfTest;
  PutU32(command, kCmdNsid, kAllNamespaces);
  PutU32(command, kCmdCdw10, code & 0x0Fu);
}

uint32_t Win32FromNvmeResult(int result, int error) {
  if (result == 0) return win::kERROR_SUCCESS;
  if (result > 0) {
    // Status code type 0, code 02h (Invalid Field) or 01h (Invalid Opcode):
    // the controller does not offer what was asked.
    const int code = result & 0xFF, type = (result >> 8) & 0x7;
    if (type == 0 && (code == 0x01 || code == 0x02)) return win::kERROR_NOT_SUPPORTED;
    return win::kERROR_IO_DEVICE;
  }
  switch (error) {
    case ENOTTY:
    case EOPNOTSUPP:
      return win::kERROR_NOT_SUPPORTED;  // no NVMe device behind the node
    case EACCES:
    case EPERM:
      return win::kERROR_ACCESS_DENIED;
    case ETIMEDOUT:
    case EINTR:
      return win::kERROR_SEM_TIMEOUT;
    case ENODEV:
    case ENXIO:
      return win::kERROR_DEV_NOT_EXIST;
    case EINVAL:
      return win::kERROR_INVALID_PARAMETER;
    default:
      return win::kERROR_IO_DEVICE;
  }
}

uint32_t BuildNvmeReply(const TNvmeQuery& q, const uint8_t* data, uint32_t completion,
                        uint8_t* out) {
  constexpr uint32_t header = win::kSTORAGE_PROTOCOL_DATA_DESCRIPTOR_SIZE;
  std::memset(out, 0, header);
  PutU32(out, win::kPROTOCOL_DESCRIPTOR_Version, header);
  PutU32(out, win::kPROTOCOL_DESCRIPTOR_Size, header);
  uint8_t* spec = out + win::kPROTOCOL_DESCRIPTOR_ProtocolSpecificData;
  std::memcpy(spec, q.Specific, sizeof q.Specific);
  PutU32(spec, win::kPROTOCOL_ProtocolDataOffset, win::kSTORAGE_PROTOCOL_SPECIFIC_DATA_SIZE);
  PutU32(spec, win::kPROTOCOL_ProtocolDataLength, q.DataLength);
  PutU32(spec, win::kPROTOCOL_FixedProtocolReturnData, completion);
  std::memcpy(out + header, data, q.DataLength);
  return header + q.DataLength;
}

}  // namespace quarnel
