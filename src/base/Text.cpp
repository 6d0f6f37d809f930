#include "base/Text.h"

#include <charconv>

namespace quarnel {

std::string Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  // UTF-8 continuation and lead bytes are all above 7Fh, so a byte test is a
  // character test here.
  while (begin < end && static_cast<uint8_t>(text[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<uint8_t>(text[end - 1]) <= 0x20) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string Latin1CharToUtf8(uint8_t code) {
  if (code < 0x80) return std::string(1, static_cast<char>(code));
  std::string out;
  out += static_cast<char>(0xC0 | (code >> 6));
  out += static_cast<char>(0x80 | (code & 0x3F));
  return out;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) out += Latin1CharToUtf8(static_cast<uint8_t>(c));
  return out;
}

bool Utf8ToLatin1(std::string_view text, std::string* bytes) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
               (static_cast<uint8_t>(text[i + 1]) & 0xC0) == 0x80) {
      out += static_cast<char>(((c & 0x03) << 6) | (static_cast<uint8_t>(text[i + 1]) & 0x3F));
      ++i;
    } else {
      return false;
    }
  }
  *bytes = std::move(out);
  return true;
}

size_t Utf8Length(std::string_view text) {
  size_t n = 0;
  for (char c : text) {
    if ((static_cast<uint8_t>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string DecText(int64_t value) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

std::string DecTextU(uint64_t value) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

std::string Hex2(uint8_t value) {
  static const char digits[] = "0123456789ABCDEF";
  return std::string{digits[value >> 4], digits[value & 0x0F]};
}

}  // namespace quarnel
