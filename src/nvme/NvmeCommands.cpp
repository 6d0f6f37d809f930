#include "nvme/NvmeCommands.h"

#include <cstring>
#include <vector>

#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "nvme/NvmeErase.h"
#include "nvme/NvmeSelfTest.h"

namespace quarnel {

namespace {

// One buffer serves as the query and the reply, as Windows' own samples do.
bool QueryNvme(THandle handle, uint32_t property, uint32_t dataType, uint32_t value, uint8_t* data,
               uint32_t length) {
  const uint32_t size = win::kNVME_QUERY_HEADER + length;
  std::vector<uint8_t> buffer(size, 0);
  PutU32(buffer.data(), 0, property);
  PutU32(buffer.data(), 4, win::kPropertyStandardQuery);
  uint8_t* spec = buffer.data() + win::kSTORAGE_PROPERTY_QUERY_AdditionalParameters;
  PutU32(spec, win::kPROTOCOL_ProtocolType, win::kProtocolTypeNvme);
  PutU32(spec, win::kPROTOCOL_DataType, dataType);
  PutU32(spec, win::kPROTOCOL_ProtocolDataRequestValue, value);
  PutU32(spec, win::kPROTOCOL_ProtocolDataOffset, win::kSTORAGE_PROTOCOL_SPECIFIC_DATA_SIZE);
  PutU32(spec, win::kPROTOCOL_ProtocolDataLength, length);
  uint32_t returned = 0;
  if (!GetHost().DeviceIoControl(handle, win::kIOCTL_STORAGE_QUERY_PROPERTY, buffer.data(), size,
                                 buffer.data(), size, &returned)) {
    return false;
  }
  // The reply: STORAGE_PROTOCOL_DATA_DESCRIPTOR, its specific data saying
  // where the data lies; a reply that cannot hold the whole block is refused.
  const uint8_t* reply = buffer.data();
  const uint8_t* replySpec = reply + win::kPROTOCOL_DESCRIPTOR_ProtocolSpecificData;
  if (returned < win::kSTORAGE_PROTOCOL_DATA_DESCRIPTOR_SIZE || returned > size ||
      GetU32(reply, win::kPROTOCOL_DESCRIPTOR_Version) !=
          win::kSTORAGE_PROTOCOL_DATA_DESCRIPTOR_SIZE ||
      GetU32(reply, win::kPROTOCOL_DESCRIPTOR_Size) !=
          win::kSTORAGE_PROTOCOL_DATA_DESCRIPTOR_SIZE) {
    return false;
  }
  const uint64_t offset = GetU32(replySpec, win::kPROTOCOL_ProtocolDataOffset);
  const uint64_t start = win::kPROTOCOL_DESCRIPTOR_ProtocolSpecificData + offset;
  if (offset < win::kSTORAGE_PROTOCOL_SPECIFIC_DATA_SIZE ||
      GetU32(replySpec, win::kPROTOCOL_ProtocolDataLength) < length || start + length > returned) {
    return false;
  }
  std::memcpy(data, reply + start, length);
  return true;
}

}  // namespace

bool NvmeIdentifyController(THandle handle, TNvmeIdentifyBlock& data) {
  return QueryNvme(handle, win::kStorageAdapterProtocolSpecificProperty, win::kNVMeDataTypeIdentify,
                   win::kNVME_IDENTIFY_CNS_CONTROLLER, data, kNvmeIdentifySize);
}

bool NvmeIdentifyNamespace(THandle handle, TNvmeIdentifyBlock& data) {
  // Sub-value 0: the namespace the drive's handle stands for.
  return QueryNvme(handle, win::kStorageDeviceProtocolSpecificProperty, win::kNVMeDataTypeIdentify,
                   win::kNVME_IDENTIFY_CNS_SPECIFIC_NAMESPACE, data, kNvmeIdentifySize);
}

bool NvmeReadHealthLog(THandle handle, TNvmeHealthBlock& data) {
  return QueryNvme(handle, win::kStorageDeviceProtocolSpecificProperty, win::kNVMeDataTypeLogPage,
                   win::kNVME_LOG_PAGE_HEALTH_INFO, data, kNvmeHealthLogSize);
}

bool NvmeReadSanitizeLog(THandle handle, uint8_t (&log)[512]) {
  return QueryNvme(handle, win::kStorageDeviceProtocolSpecificProperty, win::kNVMeDataTypeLogPage,
                   win::kNVME_LOG_PAGE_SANITIZE_STATUS, log, win::kNVME_SANITIZE_LOG_SIZE);
}

bool NvmeReadSelfTestLog(THandle handle, TNvmeSelfTestBlock& log) {
  return QueryNvme(handle, win::kStorageDeviceProtocolSpecificProperty, win::kNVMeDataTypeLogPage,
                   win::kNVME_LOG_PAGE_DEVICE_SELF_TEST, log, kNvmeSelfTestLogSize);
}

}  // namespace quarnel
