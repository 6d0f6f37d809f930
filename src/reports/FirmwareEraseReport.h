// The details report's section on the drive's own erase: the methods it
// offers, and what bears on them (frozen sanitize, security state, what
// erased blocks read as).
#pragma once

#include <string>
#include <vector>

#include "devices/DriveErasure.h"

namespace quarnel {

std::vector<std::string> FirmwareEraseLines(const TFirmwareCaps& caps);

}  // namespace quarnel
