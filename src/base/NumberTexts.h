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

}  // namespace quarnel
