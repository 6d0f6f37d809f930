// Hidden areas around an erase: asked before the confirmation, named in it
// when they hold sectors, kept in the erase record, and noted after the run.
#pragma once

#include <string>
#include <vector>

#include "ata/HiddenArea.h"
#include "ata/Identification.h"
#include "host/Host.h"
#include "erase/EraseRecord.h"

namespace quarnel {

/// The record's view of a query. `ata`: the drive is one that could have
/// hidden areas (HiddenAreasPossible); false gives a field that does not apply.
THiddenArea HiddenAreaForRecord(const THiddenAreaQuery& query, bool ata);

/// The query for the drive behind `handle`.
THiddenArea QueryDriveHiddenArea(THandle handle, const TIdentifyDeviceData& id);

/// Sectors above the reported ones up to the native maximum, and from there
/// up to the DCO's; 0 where unknown.
int64_t HpaSectors(const THiddenArea& hidden);
int64_t DcoSectors(const THiddenArea& hidden);

/// The confirmation's extra line; empty when no sector is known to be hidden.
std::string HiddenAreaConfirmationLine(const THiddenArea& hidden);

/// The main log's lines after a run: the hidden sectors it did not reach, or
/// that they could not be determined. None when nothing is hidden.
std::vector<std::string> HiddenAreaRunNotes(const THiddenArea& hidden);

}  // namespace quarnel
