// UTF-8 <-> UTF-16 for the Windows wide-character calls. Windows only:
// defined with the system's own conversion in src/platform/win.
#pragma once

#include <string>

namespace quarnel {

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);

}  // namespace quarnel
