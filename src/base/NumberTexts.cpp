#include "base/NumberTexts.h"

#include <charconv>
#include <cstdio>
#include <locale>

#include "base/Text.h"

namespace quarnel {

std::string IntToStrGrouped(int64_t value) {
  const std::string s = DecText(value);
  const size_t length = s.size();
  if (length <= 4) return s;
  std::string result;
  for (size_t i = length; i >= 1; --i) {
    result.insert(result.begin(), s[i - 1]);
    if ((length - i + 1) % 3 == 0) result.insert(result.begin(), ',');
  }
  if (!result.empty() && result.front() == ',') result.erase(result.begin());
  return result;
}

std::string WithLocaleDecimalPoint(std::string text) {
  const char separator = std::use_facet<std::numpunct<char>>(std::locale()).decimal_point();
  for (char& c : text) {
    if (c == '.') c = separator;
  }
  return text;
}

namespace {

// General form: shortest of at most 15 significant digits, no trailing zeros.
std::string GeneralFloatText(long double value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  return WithLocaleDecimalPoint(std::string(buf, res.ptr));
}

std::string Scaled(int64_t bytes, int64_t cut, long double divisor, const char* suffix) {
  const int64_t truncated = (bytes / cut) * cut;
  return GeneralFloatText(static_cast<long double>(truncated) / divisor) + suffix;
}

}  // namespace

std::string SizeToStr(int64_t bytes) {
  if (bytes < 99999) return DecText(bytes) + " 字节";
  if (bytes < 9999999) return Scaled(bytes, 10, 1000.0L, " KB");
  if (bytes < 9999999999LL) return Scaled(bytes, 10000, 1000000.0L, " MB");
  return Scaled(bytes, 10000000, 1000000000.0L, " GB");
}

std::string MbpsText(double mbps) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", mbps);
  return text;
}

std::string ClockText(double seconds) {
  const int64_t s = static_cast<int64_t>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
  return text;
}

double SecondsLeft(int64_t done, int64_t total, int64_t elapsedMs) {
  if (done <= 0 || done >= total || elapsedMs <= 0) return -1;
  return static_cast<double>(total - done) * static_cast<double>(elapsedMs) / 1000.0 /
         static_cast<double>(done);
}

}  // namespace quarnel
