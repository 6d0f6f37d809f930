// The certificate of an erase: one self-contained HTML page (no scripts, no
// outside files) for printing on one A4 page, in the interface's language,
// made from a sealed erase record.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace quarnel {

/// The page for a record (the parsed record file). `sealIntact` says the
/// record's seal was checked and holds; the page shows it either way.
std::string CertificateHtml(const nlohmann::json& record, bool sealIntact);

/// The speed-over-time graph as inline SVG from the record's speed samples;
/// a note instead of a line where there are fewer than two.
std::string SpeedGraphSvg(const nlohmann::json& samples);

/// Seconds between two of the record's UTC times ("2026-12-08T14:30:05.123Z");
/// -1 when either cannot be read.
double SecondsBetween(const std::string& start, const std::string& end);

}  // namespace quarnel
