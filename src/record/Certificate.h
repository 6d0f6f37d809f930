// The certificate of an erase: one self-contained HTML page (no scripts, no
// outside files) for printing on one A4 page, in the interface's language,
// made from a sealed erase record.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "record/RecordSeal.h"

namespace quarnel {

/// The page for a record (the parsed record file) and what checking it found,
/// shown either way; `keyGiven` says the signature was checked against a key
/// the reader gave, not only against the record's own. False with *error set
/// (English) and no page for a record holding a number of 2^53 or more.
bool CertificateHtml(const nlohmann::json& record, const TSealCheck& check, bool keyGiven,
                     std::string* html, std::string* error);

/// The speed-over-time graph as inline SVG from the record's speed samples,
/// thinned to at most kDrawnSamples of them; a note instead of a line where
/// there are fewer than two.
constexpr size_t kDrawnSamples = 300;
std::string SpeedGraphSvg(const nlohmann::json& samples);

/// Seconds between two of the record's UTC times ("2026-12-08T14:30:05.123Z");
/// -1 when either cannot be read.
double SecondsBetween(const std::string& start, const std::string& end);

}  // namespace quarnel
