// A drive's bus, as the storage adapter descriptor names it (STORAGE_BUS_TYPE),
// with the program's own codes for a file image and for an adapter that
// answered nothing. The core compares these, never their numbers.
#pragma once

#include <cstdint>

namespace quarnel {

enum class TBusType : uint32_t {
  Unknown = 0,
  Scsi = 1,
  Atapi = 2,
  Ata = 3,
  Ieee1394 = 4,
  Ssa = 5,
  Fibre = 6,
  Usb = 7,
  Raid = 8,
  Iscsi = 9,
  Sas = 10,
  Sata = 11,
  Sd = 12,
  Mmc = 13,
  Virtual = 14,
  FileBackedVirtual = 15,
  Spaces = 16,  // 16 and later: newer Windows SDKs
  Nvme = 17,
  Scm = 18,
  Ufs = 19,
  Image = 200,
  Flash = 201,  // the stand-in when the adapter query is refused
};

/// The descriptor's byte as a bus.
inline TBusType BusTypeFromCode(uint32_t code) { return static_cast<TBusType>(code); }

}  // namespace quarnel
