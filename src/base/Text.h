// Text helpers shared by the core. Texts are UTF-8 std::strings; texts read
// from drives map each byte to the character of the same code (Latin-1).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quarnel {

/// Removes every leading and trailing character whose code is 20h or less.
std::string Trim(std::string_view text);

/// Each byte becomes the character with the same code (U+0000..U+00FF).
std::string Latin1ToUtf8(std::string_view bytes);
std::string Latin1CharToUtf8(uint8_t code);

/// Converts UTF-8 to Latin-1 bytes; false when a character is above U+00FF
/// or the text is not valid UTF-8.
bool Utf8ToLatin1(std::string_view text, std::string* bytes);

/// A text from a device or a mount as it may be shown: every control
/// character (C0, DEL, C1), line and paragraph separator and direction
/// override becomes a visible escape ("\x1b", "\u202e"), and each byte that
/// is not part of valid UTF-8 becomes "\xNN". Everything else is kept.
std::string VisibleText(std::string_view text);

/// VisibleText that also writes a backslash as "\\", so that every escape
/// reads back one way: a drive's texts as they enter the core. VisibleText
/// over its result changes nothing.
std::string UnambiguousText(std::string_view text);

/// Number of characters (code points) of a UTF-8 text.
size_t Utf8Length(std::string_view text);

/// Columns a UTF-8 text takes at a fixed pitch: CJK and full-width forms
/// (from U+2E80) take two, everything else one.
size_t DisplayWidth(std::string_view text);

/// Letters a-z made upper case, nothing else changed.
std::string UpperAscii(std::string_view text);

/// Boolean as the log writes it: "-1" for true, "0" for false.
inline std::string FlagText(bool value) { return value ? "-1" : "0"; }

/// Plain decimal, independent of any locale.
std::string DecText(int64_t value);
std::string DecTextU(uint64_t value);

/// Two upper-case hexadecimal digits.
std::string Hex2(uint8_t value);

}  // namespace quarnel
