// Saves a part of the screen as a PNG file (uncompressed deflate blocks:
// the pictures are for looking at, not for shipping).
#pragma once

#include <windows.h>

#include <string>

namespace quarnel {

/// The screen inside `rect`, frames and all, written to `path`.
bool SaveScreenRect(const RECT& rect, const std::wstring& path);

}  // namespace quarnel
