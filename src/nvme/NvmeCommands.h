// NVMe Identify and the health log, asked of a drive through the storage
// query for protocol-specific data. None of them writes a log line.
#pragma once

#include "host/Host.h"
#include "nvme/NvmeDecode.h"

namespace quarnel {

/// Identify Controller (CNS 01h) through the adapter property. Return false
/// on refusal or a reply too short to hold the block; `data` is then untouched.
bool NvmeIdentifyController(THandle handle, TNvmeIdentifyBlock& data);

/// Identify Namespace (CNS 00h) of the drive's own namespace, through the
/// device property. Return false as above.
bool NvmeIdentifyNamespace(THandle handle, TNvmeIdentifyBlock& data);

/// The SMART / Health Information log (02h) through the device property.
/// Return false as above.
bool NvmeReadHealthLog(THandle handle, TNvmeHealthBlock& data);

}  // namespace quarnel
