#include "devices/DriveIdentity.h"

#include <cstring>

#include "ata/Identification.h"
#include "base/Logging.h"
#include "base/Text.h"
#include "host/Bytes.h"
#include "host/HostConstants.h"

namespace quarnel {

namespace {

constexpr uint32_t kReplySize = 512;

// As the identification asks: a refusal that leaves no error code counts as
// done with an empty reply, so that both readings see the same.
bool Ask(THandle handle, uint32_t code, const void* in, uint32_t inSize, uint8_t* out,
         uint32_t outSize, uint32_t* returned) {
  Host& host = GetHost();
  *returned = 0;
  std::memset(out, 0, outSize);
  if (host.DeviceIoControl(handle, code, in, inSize, out, outSize, returned)) return true;
  *returned = 0;
  std::memset(out, 0, outSize);
  return host.GetLastError() == 0;
}

// Descriptor bytes in a message: the vendor-product separator as a blank.
std::string Shown(std::string bytes) {
  for (char& c : bytes) {
    if (c == '\0') c = ' ';
  }
  return "\"" + VisibleText(Latin1ToUtf8(bytes)) + "\"";
}

}  // namespace

TDriveIdentity ReadDriveIdentity(THandle handle) {
  TDriveIdentity id;
  uint8_t reply[kReplySize];
  uint32_t returned = 0;
  if (Ask(handle, win::kQUARNEL_IOCTL_GET_DISK_SEQUENCE, nullptr, 0, reply, 8, &returned) &&
      returned >= 8) {
    id.HasSequence = true;
    id.Sequence = GetU64(reply, 0);
  }
  if (!Ask(handle, win::kIOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, reply, kReplySize, &returned)) {
    return id;
  }
  id.Length = static_cast<int64_t>(GetU64(reply, 0));
  uint8_t query[win::kSTORAGE_PROPERTY_QUERY_SIZE] = {};
  PutU32(query, 0, win::kStorageDeviceProperty);
  PutU32(query, 4, win::kPropertyStandardQuery);
  if (!Ask(handle, win::kIOCTL_STORAGE_QUERY_PROPERTY, query, sizeof query, reply, kReplySize,
           &returned)) {
    return id;
  }
  const uint32_t size = GetU32(reply, win::kDEVICE_Size);
  auto text = [&](uint32_t field) { return ScanDescriptorText(reply, GetU32(reply, field), size); };
  id.Model = text(win::kDEVICE_VendorIdOffset) + '\0' + text(win::kDEVICE_ProductIdOffset);
  id.Serial = SerialFromDescriptorBytes(text(win::kDEVICE_SerialNumberOffset));
  id.Read = true;
  return id;
}

bool SameDrive(const TDriveIdentity& expected, THandle handle, std::string* change) {
  const TDriveIdentity now = ReadDriveIdentity(handle);
  change->clear();
  if (!expected.Read || !now.Read) {
    *change = "the drive's identity cannot be read";
    return false;
  }
  if (expected.HasSequence || now.HasSequence) {
    if (expected.HasSequence != now.HasSequence) {
      *change = "the disk sequence number is no longer the same kind of answer";
      return false;
    }
    if (expected.Sequence != now.Sequence) {
      *change =
          "disk sequence number " + DecTextU(expected.Sequence) + ", now " + DecTextU(now.Sequence);
      return false;
    }
    return true;
  }
  if (expected.Model != now.Model) {
    *change = "model " + Shown(expected.Model) + ", now " + Shown(now.Model);
  } else if (expected.Serial != now.Serial) {
    *change =
        "serial \"" + VisibleText(expected.Serial) + "\", now \"" + VisibleText(now.Serial) + "\"";
  } else if (expected.Length != now.Length) {
    *change = "length " + DecText(expected.Length) + " bytes, now " + DecText(now.Length);
  }
  return change->empty();
}

bool ConfirmSameDrive(const TDriveIdentity& expected, THandle handle, bool beforeReadBack) {
  std::string change;
  if (SameDrive(expected, handle, &change)) return true;
  AddLog(beforeReadBack ? kDriveChangedBeforeReadBackText : kDriveChangedText);
  AddDebugLog("The drive is not the one the scan found (" + change + ")" +
              (beforeReadBack ? "; not read back" : "; nothing was written"));
  return false;
}

}  // namespace quarnel
