#include "ui/win/VistaFuncs.h"

#include <uxtheme.h>

#include "base/WideText.h"
#include "ui/TaskDialogs.h"

namespace quarnel {

namespace {

int PointsToHeight(int points) {
  HDC screen = GetDC(nullptr);
  const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  return height;
}

int CALLBACK FoundFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FaceInstalled(const wchar_t* face) {
  LOGFONTW wanted = {};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, FoundFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

}  // namespace

LOGFONTW SetIconTitleFont() {
  LOGFONTW font = {};
  if (!SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof font, &font, 0)) {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  }
  return font;
}

void UseCalibriFont(LOGFONTW& font) {
  if (!IsVistaOrLater()) return;
  const std::wstring calibri = WideFromUtf8(kCalibriFace);
  if (lstrcmpiW(font.lfFaceName, calibri.c_str()) == 0 || !FaceInstalled(calibri.c_str())) return;
  // Larger in the direction the height is given in.
  const int more = -PointsToHeight(kCalibriMorePoints);
  font.lfHeight += font.lfHeight < 0 ? -more : more;
  lstrcpynW(font.lfFaceName, calibri.c_str(), LF_FACESIZE);
}

HFONT CreateWindowFont() {
  LOGFONTW font = SetIconTitleFont();
  UseCalibriFont(font);
  return CreateFontIndirectW(&font);
}

HFONT CreateFontOf(const TFontChoice& choice, HFONT windowFont) {
  LOGFONTW font = {};
  if (choice.Face) {
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    // FIXED_PITCH: where the face is missing, the system's fixed face.
    if (choice.FixedPitch) font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    lstrcpynW(font.lfFaceName, WideFromUtf8(choice.Face).c_str(), LF_FACESIZE);
  } else {
    GetObjectW(windowFont, sizeof font, &font);
  }
  if (choice.Points > 0) font.lfHeight = PointsToHeight(choice.Points);
  if (choice.MorePoints != 0) {
    // In the direction the height is given in.
    const int more = -PointsToHeight(choice.MorePoints);
    font.lfHeight += font.lfHeight < 0 ? -more : more;
  }
  if (choice.Bold) font.lfWeight = FW_BOLD;
  if (choice.Underline) font.lfUnderline = TRUE;
  return CreateFontIndirectW(&font);
}

void SetExplorerTheme(HWND window) {
  if (!IsVistaOrLater()) return;
  SetWindowTheme(window, L"explorer", nullptr);
}

namespace {
BOOL CALLBACK SetChildFont(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}
}  // namespace

void SetFontOfChildren(HWND window, HFONT font) {
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  EnumChildWindows(window, SetChildFont, reinterpret_cast<LPARAM>(font));
}

void CentreOnScreen(HWND window) {
  RECT area = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  RECT frame = {};
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  int x = area.left + (area.right - area.left - width) / 2;
  int y = area.top + (area.bottom - area.top - height) / 2;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE WindowSizeForClient(DWORD style, DWORD exStyle, int width, int height) {
  RECT rect = {0, 0, width, height};
  AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace quarnel
