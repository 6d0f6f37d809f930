// ATA commands of the simulated drives: SMART_GET_VERSION, SMART_SEND_DRIVE_COMMAND,
// SMART_RCV_DRIVE_DATA and IOCTL_SCSI_MINIPORT.
#include "host/Bytes.h"
#include "host/HostConstants.h"
#include "host/SimHost.h"

namespace quarnel {

bool SimHost::AtaRequest(TSimDrive& d, uint32_t code, const uint8_t*, uint32_t, uint8_t* out,
                         uint32_t outSize, uint32_t* returned) {
  // A drive without an IDENTIFY block does not speak ATA.
  if (d.Identify.empty()) return Fail(win::ERROR_INVALID_FUNCTION);
  if (code == win::SMART_GET_VERSION) {
    if (Refused(d, "smart_version")) return false;
    if (outSize < win::GETVERSIONINPARAMS_SIZE) return Fail(win::ERROR_INSUFFICIENT_BUFFER);
    uint8_t v[win::GETVERSIONINPARAMS_SIZE] = {};
    v[win::GETVERSION_bVersion] = 1;
    v[win::GETVERSION_bRevision] = 1;
    v[win::GETVERSION_bIDEDeviceMap] = d.IdeSlave ? 0x02 : 0x01;
    PutU32(v, win::GETVERSION_fCapabilities, win::CAP_ATA_ID_CMD | win::CAP_SMART_CMD);
    for (uint32_t i = 0; i < sizeof v; ++i) out[i] = v[i];
    *returned = sizeof v;
    return Succeed();
  }
  return Fail(win::ERROR_INVALID_FUNCTION);
}

}  // namespace quarnel
