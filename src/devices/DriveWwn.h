// The world wide names a drive reports about itself, by which the terminal
// program lets a drive be named: they stay with the drive whatever path or
// place in the list it gets.
#pragma once

#include <string>
#include <vector>

#include "ata/Identification.h"
#include "host/Host.h"

namespace quarnel {

/// The names of the drive behind `handle` (the table entry `id`), as lower-case
/// hexadecimal digits, read quietly: an NVMe drive's namespace EUI64, then its
/// NGUID (those not all zero); any other drive that may speak ATA, the WWN of
/// its IDENTIFY DEVICE block. Empty when it reports none or does not answer.
std::vector<std::string> ReadDriveWwns(THandle handle, const TIdentifyDeviceData& id);

/// The same for the drive at `path`, opened for reading, shared, for the
/// questions only.
std::vector<std::string> ReadDriveWwnsAt(const std::string& path, const TIdentifyDeviceData& id);

/// A WWN as a person types it: hexadecimal digits in either case, with or
/// without "0x" before them. The digits in lower case, or "" when the text
/// is anything else.
std::string NormalWwn(const std::string& text);

}  // namespace quarnel
