// ATA PASS-THROUGH (16) for the 48-bit non-data commands of a drive's own
// erase (SANITIZE), and the 48-bit registers they return in the sense data.
// Pure functions over bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "host/EraseRequests.h"

namespace quarnel::sgio {

/// The block with EXTEND set, the high bytes in the odd fields, and CK_COND
/// so that the registers come back in the sense data.
std::array<uint8_t, 16> BuildAtaPassThrough16Ext(const TAtaCommand48& command);

/// The ATA status return descriptor (09h) of descriptor-format sense data;
/// false when there is none.
bool ParseAtaReturn48(const uint8_t* sense, size_t length, TAtaReturn48* registers);

}  // namespace quarnel::sgio
