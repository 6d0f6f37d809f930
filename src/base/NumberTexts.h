// Counts and capacities as every window and report writes them.
#pragma once

#include <cstdint>
#include <string>

namespace quarnel {

/// Decimal with "," between groups of three digits, when longer than four.
std::string IntToStrGrouped(int64_t value);

/// A number written with "." as decimal point, with the global C++ locale's
/// decimal separator instead.
std::string WithLocaleDecimalPoint(std::string text);

/// Capacity in " 字节", " KB", " MB" or " GB" (decimal units), cut to two
/// decimals, with the decimal separator of the global C++ locale.
std::string SizeToStr(int64_t bytes);

/// h:mm:ss of `seconds`, rounded to the second.
std::string ClockText(double seconds);
/// A speed in MB/s (10^6 bytes per second) with one decimal, without the unit.
std::string MbpsText(double mbps);
/// The seconds a pass has left at its own average so far; negative when that
/// cannot be told (nothing done yet, or all of it).
double SecondsLeft(int64_t done, int64_t total, int64_t elapsedMs);

}  // namespace quarnel
