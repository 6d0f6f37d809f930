#include "batch/BatchDrive.h"

#include <algorithm>

#include "base/Text.h"
#include "erase/HiddenAreaRun.h"
#include "host/Host.h"
#include "host/HostConstants.h"

namespace quarnel {

TBatchRow BatchRowOfDrive(int64_t number, const TDeviceTable& entry) {
  TBatchRow row;
  row.Number = number;
  row.Model = Trim(entry.IdentifyData.Model);
  row.Serial = Trim(entry.IdentifyData.SN);
  row.Bus = BusTypeName(entry.IdentifyData.BusType);
  row.Path = entry.DevicePath;
  row.Capacity = entry.IdentifyData.LBA * std::max<int64_t>(entry.IdentifyData.SectorSize, 0);
  return row;
}

TAskedDrive AskDrive(const TDeviceTable& entry) {
  TAskedDrive asked;
  asked.Volumes = entry.AssociatedPartitions;
  Host& host = GetHost();
  const THandle handle =
      host.CreateFileU8(entry.DevicePath, win::kGENERIC_READ | win::kGENERIC_WRITE,
                        win::kFILE_SHARE_READ | win::kFILE_SHARE_WRITE, win::kOPEN_EXISTING, 0);
  if (handle == kInvalidHandle) return asked;
  asked.Hidden = HiddenAreaConfirmationLine(QueryDriveHiddenArea(handle, entry.IdentifyData));
  asked.Health = QueryDriveHealth(handle, entry.IdentifyData);
  host.CloseHandle(handle);
  if (asked.Health.Verdict != THealthVerdict::Unknown) {
    asked.HealthLine = HealthConfirmationLine(asked.Health);
  }
  return asked;
}

}  // namespace quarnel
