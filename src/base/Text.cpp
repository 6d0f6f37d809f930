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

namespace {

// Length of the valid UTF-8 sequence at text[i] and its code point; 0 when
// the byte there starts none (overlong forms and surrogates are invalid).
size_t Utf8Sequence(std::string_view text, size_t i, uint32_t* code) {
  const auto b = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = b(i);
  size_t length = 0;
  uint32_t value = 0, minimum = 0;
  if (lead < 0x80) {
    *code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (b(i + k) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return length;
}

bool MustEscape(uint32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
         (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

std::string HexLower(uint32_t value, int digits) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out(static_cast<size_t>(digits), '0');
  for (int k = digits - 1; k >= 0; --k, value >>= 4)
    out[static_cast<size_t>(k)] = kDigits[value & 0xF];
  return out;
}

std::string Escaped(std::string_view text, bool backslash) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    uint32_t code = 0;
    const size_t length = Utf8Sequence(text, i, &code);
    if (length == 0) {
      out += "\\x";
      out += HexLower(static_cast<uint8_t>(text[i]), 2);
      ++i;
      continue;
    }
    if (backslash && code == '\\') {
      out += "\\\\";
    } else if (!MustEscape(code)) {
      out.append(text.substr(i, length));
    } else if (code <= 0xFF) {
      out += "\\x";
      out += HexLower(code, 2);
    } else {
      out += "\\u";
      out += HexLower(code, 4);
    }
    i += length;
  }
  return out;
}

}  // namespace

std::string VisibleText(std::string_view text) { return Escaped(text, false); }

std::string UnambiguousText(std::string_view text) { return Escaped(text, true); }

size_t Utf8Length(std::string_view text) {
  size_t n = 0;
  for (char c : text) {
    if ((static_cast<uint8_t>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

size_t DisplayWidth(std::string_view text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = length == 1 ? c : c & (0xFF >> (length + 1));
    for (size_t k = 1; k < length && i + k < text.size(); ++k) {
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    }
    width += cp >= 0x2E80 ? 2 : 1;
    i += length;
  }
  return width;
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
