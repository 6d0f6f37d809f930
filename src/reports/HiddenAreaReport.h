// The details report's section on hidden areas: the sectors reported, the
// native and DCO maxima and the sectors they hide, or why they are unknown.
#pragma once

#include <string>
#include <vector>

#include "ata/HiddenArea.h"

namespace quarnel {

/// The section's lines, its opening blank line first.
std::vector<std::string> HiddenAreaLines(const THiddenAreaQuery& query);

}  // namespace quarnel
