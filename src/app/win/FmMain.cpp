#include "app/win/FmMain.h"

#include <commctrl.h>

#include <algorithm>
#include <tuple>

#include "app/MainState.h"
#include "base/Logging.h"
#include "base/ProgramInfo.h"
#include "erase/EraseRecord.h"
#include "record/CertificateFile.h"
#include "ui/Catalogue.h"
#include "ui/UiSeam.h"
#include "ui/win/VistaFuncs.h"

// The progress bar's states, from the Vista headers; older hosts ignore them.
#ifndef PBM_SETSTATE
#define PBM_SETSTATE (WM_USER + 16)
#define PBST_NORMAL 1
#define PBST_PAUSED 3
#endif

namespace quarnel {

using namespace mainwindow;

namespace {

enum : int {
  idPages = 100,
  idLogDetails,
  idLogBenchMark,
  idProgressGroup,
  idProgress,
  idPercent,
  idSpeed,
  idPosition,
  idQuickWipe,
  idVerify,
  idFirmware,
  idFirmwareMethod,
  idStop,
  idRunBenchmarks,
  idLogSmart,
  idGetSmart,
  idCopyright,
  idStatusBar,
  idDiskName,
  idCertificate,
  idSelfTestText,
  idSelfTestBar,
  idSelfTestKind,
  idSelfTest,
};

constexpr DWORD kPaneStyle =
    ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;

HWND Pane(HWND page, int id, TLogPane& pane) {
  HWND edit = CreateControl(page, L"EDIT", L"", kPaneStyle, id, WS_EX_CLIENTEDGE);
  BindPane(edit, pane);
  return edit;
}

void SetTextIfChanged(HWND window, const std::string& text) {
  const std::wstring wide = WideFromUtf8(text);
  wchar_t current[256];
  GetWindowTextW(window, current, 256);
  if (wide == current) return;
  SetWindowTextW(window, wide.c_str());
  // A static control may draw its new text at once, before the page's own
  // pending repaint, which then covers it: have it drawn again after that.
  InvalidateRect(window, nullptr, TRUE);
}

// A page's default button has the default look.
DWORD ButtonStyle(TFormatControl control, int page) {
  return WS_TABSTOP | (DefaultButton(page) == control ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
}

int Height(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return rect.bottom - rect.top;
}

}  // namespace

TFmMain::TFmMain() {
  Create(L"QuarnelFmMain", L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
         kClient.Width, kClient.Height, nullptr);
  font_ = CreateWindowFont();
  bold_ = CreateFontOf(kDiskNameFont, font_);
  maker_ = CreateFontOf(kMakerLineFont, font_);
  big_ = CreateFontOf(kProgressLabelFont, font_);
  report_ = CreateFontOf(kReportPaneFont, font_);
  white_ = CreateSolidBrush(kBgrWhite);

  lbDiskName =
      CreateControl(hwnd_, L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, idDiskName);
  BuildPages();
  lbCopyright = std::make_unique<TLinkLabel>(
      hwnd_, WideFromUtf8(MakerLineText()), idCopyright, kMakerLineColours,
      [] { ShellOpen(WideFromUtf8(kMakerUrl).c_str(), SW_SHOW); });
  StatusBar =
      CreateControl(hwnd_, STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP | SBARS_TOOLTIPS, idStatusBar);

  SetFontOfChildren(hwnd_, font_);
  SendMessageW(lbDiskName, WM_SETFONT, reinterpret_cast<WPARAM>(bold_), FALSE);
  SendMessageW(lbCopyright->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(maker_), FALSE);
  for (HWND label : {lbCurrentPercent, lbSpeed, lbCurrentPosition}) {
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(big_), FALSE);
  }
  for (HWND pane : {Log_Details, Log_Smart}) {
    SendMessageW(pane, WM_SETFONT, reinterpret_cast<WPARAM>(report_), FALSE);
  }
  SelectPage(kDetailsPage);
  Layout();
  CentreOnScreen(hwnd_);
}

TFmMain::~TFmMain() {
  if (hwnd_) DestroyWindow(hwnd_);
  for (HGDIOBJ object :
       {static_cast<HGDIOBJ>(font_), static_cast<HGDIOBJ>(bold_), static_cast<HGDIOBJ>(maker_),
        static_cast<HGDIOBJ>(big_), static_cast<HGDIOBJ>(report_), static_cast<HGDIOBJ>(white_)}) {
    if (object) DeleteObject(object);
  }
}

void TFmMain::BuildPages() {
  pages = CreateControl(hwnd_, WC_TABCONTROLW, L"", WS_CLIPCHILDREN | WS_TABSTOP, idPages,
                        WS_EX_CONTROLPARENT);
  for (int i = 0; i < kPageCount; ++i) {
    std::wstring caption = WideFromUtf8(kPageCaptions[i]);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageW(pages, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    page_windows_[i] = CreatePage(pages);
  }
  Log_Details = Pane(page_windows_[kDetailsPage], idLogDetails, quarnel::Log_Details);
  BuildFormatPage(page_windows_[kFormatPage]);
  BuildSmartPage(page_windows_[kSmartPage]);
}

void TFmMain::BuildFormatPage(HWND page) {
  Log_BenchMark = Pane(page, idLogBenchMark, quarnel::Log_BenchMark);
  gbProgress = CreateControl(page, L"BUTTON", WideFromUtf8(kProgressBoxCaption), BS_GROUPBOX,
                             idProgressGroup);
  pbCurrentTask = CreateControl(page, PROGRESS_CLASSW, L"", 0, idProgress);
  SendMessageW(pbCurrentTask, PBM_SETRANGE32, 0, 100);
  lbCurrentPercent = CreateControl(page, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, idPercent);
  lbSpeed = CreateControl(page, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, idSpeed);
  lbCurrentPosition = CreateControl(page, L"STATIC", L"", SS_LEFT | SS_NOPREFIX, idPosition);
  cbQuickWipe = CreateControl(page, L"BUTTON", WideFromUtf8(kQuickWipeCaption),
                              BS_AUTOCHECKBOX | WS_TABSTOP, idQuickWipe);
  cbVerify = CreateControl(page, L"BUTTON", WideFromUtf8(kVerifyCaption),
                           BS_AUTOCHECKBOX | WS_TABSTOP, idVerify);
  cbFirmware = CreateControl(page, L"BUTTON", WideFromUtf8(kFirmwareCaption),
                             BS_AUTOCHECKBOX | WS_TABSTOP | WS_DISABLED, idFirmware);
  cbFirmwareMethod =
      CreateControl(page, L"COMBOBOX", L"",
                    CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_DISABLED, idFirmwareMethod);
  btStop = CreateControl(page, L"BUTTON", WideFromUtf8(kStopCaption),
                         BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, idStop);
  btRunBenchmarks =
      CreateControl(page, L"BUTTON", WideFromUtf8(kFormatCaption),
                    ButtonStyle(TFormatControl::btRunBenchmarks, kFormatPage), idRunBenchmarks);
  btCertificate = CreateControl(page, L"BUTTON", WideFromUtf8(kCertificateCaption),
                                BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, idCertificate);
}

void TFmMain::BuildSmartPage(HWND page) {
  Log_Smart = Pane(page, idLogSmart, quarnel::Log_Smart);
  lbSelfTest =
      CreateControl(page, L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, idSelfTestText);
  pbSelfTest = CreateControl(page, PROGRESS_CLASSW, L"", 0, idSelfTestBar);
  SendMessageW(pbSelfTest, PBM_SETRANGE32, 0, 100);
  cbSelfTestKind = CreateControl(page, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                                 idSelfTestKind);
  for (const char* kind : kSelfTestKindCaptions) {
    SendMessageW(cbSelfTestKind, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(WideFromUtf8(kind).c_str()));
  }
  SendMessageW(cbSelfTestKind, CB_SETCURSEL, 0, 0);
  btSelfTest = CreateControl(page, L"BUTTON", L"", BS_PUSHBUTTON | WS_TABSTOP, idSelfTest);
  btGetSmart = CreateControl(page, L"BUTTON", WideFromUtf8(kGetSmartCaption),
                             ButtonStyle(TFormatControl::btGetSmart, kSmartPage), idGetSmart);
  ShowSelfTestRow(selfTestRow_);
}

void TFmMain::Layout() {
  RECT client;
  GetClientRect(hwnd_, &client);
  const int width = client.right;
  SendMessageW(StatusBar, WM_SIZE, 0, 0);
  // The middle panel gives way when the window is narrower than all three,
  // so that the last stays on screen.
  const auto [first, second, third] = kStatusPanelWidths;
  const int edges[3] = {first, std::max(first, std::min(first + second, width - third)),
                        width < first + second + third ? -1 : first + second + third};
  SendMessageW(StatusBar, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
  const int statusHeight = Height(StatusBar);
  const int copyrightHeight = FontLineHeight(maker_) + 6;
  MoveWindow(lbDiskName, 8, 0, width - 16, kHeaderHeight, TRUE);
  const int tabTop = kHeaderHeight + 4;
  const int tabHeight = client.bottom - tabTop - copyrightHeight - statusHeight;
  MoveWindow(pages, 4, tabTop, width - 8, tabHeight, TRUE);
  MoveWindow(lbCopyright->Handle(), 8, tabTop + tabHeight + 1, width - 16, copyrightHeight - 2,
             TRUE);
  RECT display = {0, 0, width - 8, tabHeight};
  SendMessageW(pages, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  for (HWND page : page_windows_) {
    MoveWindow(page, display.left, display.top, display.right - display.left,
               display.bottom - display.top, TRUE);
  }
  const int pageWidth = display.right - display.left;
  const int pageHeight = display.bottom - display.top;
  MoveWindow(Log_Details, 6, 6, pageWidth - 12, pageHeight - 12, TRUE);
  LayoutFormatPage(pageWidth, pageHeight);
  LayoutSmartPage(pageWidth, pageHeight);
}

void TFmMain::LayoutFormatPage(int width, int height) {
  const int line = FontLineHeight(font_);
  const int bigLine = FontLineHeight(big_) + 2;
  const int buttonHeight = kButtonHeight;
  const int box = line + 4;
  const int bottom = std::max(2 * bigLine + 4, 3 * box + 12 + buttonHeight);
  const int groupHeight = line + 34;
  const int groupTop = height - 6 - bottom - 6 - groupHeight;
  MoveWindow(Log_BenchMark, 6, 6, width - 12, groupTop - 12, TRUE);
  MoveWindow(gbProgress, 6, groupTop, width - 12, groupHeight, TRUE);
  MoveWindow(pbCurrentTask, 16, groupTop + line + 6, width - 32, 18, TRUE);
  const int top = height - 6 - bottom;
  const int right = width - 6;
  const int controlsWidth = 330;
  MoveWindow(lbCurrentPercent, 10, top, 150, bigLine, TRUE);
  MoveWindow(lbSpeed, 170, top, right - controlsWidth - 180, bigLine, TRUE);
  MoveWindow(lbCurrentPosition, 10, top + bigLine + 2, right - controlsWidth - 20, bigLine, TRUE);
  MoveWindow(cbQuickWipe, right - controlsWidth, top, controlsWidth, box, TRUE);
  MoveWindow(cbVerify, right - controlsWidth, top + box + 2, controlsWidth, box, TRUE);
  MoveWindow(cbFirmware, right - controlsWidth, top + 2 * box + 6, 130, box, TRUE);
  // A drop-down list's height includes its open list.
  MoveWindow(cbFirmwareMethod, right - controlsWidth + 134, top + 2 * box + 4, controlsWidth - 134,
             box + 120, TRUE);
  MoveWindow(btRunBenchmarks, right - kFormatButtonWidth, top + bottom - buttonHeight,
             kFormatButtonWidth, buttonHeight, TRUE);
  MoveWindow(btStop, right - 2 * kFormatButtonWidth - 8, top + bottom - buttonHeight,
             kFormatButtonWidth, buttonHeight, TRUE);
  MoveWindow(btCertificate, right - 3 * kFormatButtonWidth - 16, top + bottom - buttonHeight,
             kFormatButtonWidth, buttonHeight, TRUE);
}

void TFmMain::LayoutSmartPage(int width, int height) {
  MoveWindow(Log_Smart, 6, 6, width - 12, height - 12 - kButtonHeight - 6, TRUE);
  const int top = height - 6 - kButtonHeight;
  int right = width - 6 - kSmartButtonWidth;
  MoveWindow(btGetSmart, right, top, kSmartButtonWidth, kButtonHeight, TRUE);
  right -= 6 + kSelfTestButtonWidth;
  MoveWindow(btSelfTest, right, top, kSelfTestButtonWidth, kButtonHeight, TRUE);
  right -= 6 + kSelfTestKindWidth;
  // A drop-down list's height includes its open list.
  MoveWindow(cbSelfTestKind, right, top + 4, kSelfTestKindWidth, kButtonHeight + 80, TRUE);
  right -= 6 + kSelfTestBarWidth;
  MoveWindow(pbSelfTest, right, top + 6, kSelfTestBarWidth, kButtonHeight - 12, TRUE);
  MoveWindow(lbSelfTest, 6, top, std::max(0, right - 12), kButtonHeight, TRUE);
}

void TFmMain::SelectPage(int index) {
  SendMessageW(pages, TCM_SETCURSEL, index, 0);
  for (int i = 0; i < kPageCount; ++i) {
    ShowWindow(page_windows_[i], i == index ? SW_SHOW : SW_HIDE);
  }
}

void TFmMain::Show() {
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
}

void TFmMain::Close() { PostMessageW(hwnd_, WM_CLOSE, 0, 0); }

HWND TFmMain::Control(TFormatControl control) const {
  return control == TFormatControl::btRunBenchmarks ? btRunBenchmarks
         : control == TFormatControl::btGetSmart    ? btGetSmart
         : control == TFormatControl::btStop        ? btStop
                                                    : nullptr;
}

void TFmMain::ShowFormatPage(const TFormatPage& page) {
  if (page.Position != shown_.Position) SendMessageW(pbCurrentTask, PBM_SETPOS, page.Position, 0);
  if (page.State != shown_.State) {
    const bool paused = page.State == TProgressState::pbsPaused;
    SendMessageW(pbCurrentTask, PBM_SETSTATE, paused ? PBST_PAUSED : PBST_NORMAL, 0);
  }
  SetTextIfChanged(lbCurrentPercent,
                   page.Captions[static_cast<int>(TFormatLabel::lbCurrentPercent)]);
  SetTextIfChanged(lbCurrentPosition,
                   page.Captions[static_cast<int>(TFormatLabel::lbCurrentPosition)]);
  SetTextIfChanged(lbSpeed, page.Captions[static_cast<int>(TFormatLabel::lbSpeed)]);
  SendMessageW(cbQuickWipe, BM_SETCHECK, page.QuickWipe ? BST_CHECKED : BST_UNCHECKED, 0);
  SendMessageW(cbVerify, BM_SETCHECK, page.Verify ? BST_CHECKED : BST_UNCHECKED, 0);
  ShowFirmwareChoice(page);
  const HWND controls[8] = {btRunBenchmarks, btGetSmart, cbQuickWipe,      btStop,
                            cbVerify,        cbFirmware, cbFirmwareMethod, btCertificate};
  static_assert(std::tuple_size_v<decltype(page.Enabled)> == 8);
  for (int i = 0; i < 8; ++i) {
    // Keyboard focus must not stay on a control that is switched off.
    if (!page.Enabled[i] && GetFocus() == controls[i]) SetFocus(Log_BenchMark);
    EnableWindow(controls[i], page.Enabled[i]);
  }
  EnableWindow(btSelfTest, SelfTestButtonEnabled(selfTestRow_, page));
  shown_ = page;
}

void TFmMain::ShowFirmwareChoice(const TFormatPage& page) {
  if (page.FirmwareMethods != shown_.FirmwareMethods) {
    SendMessageW(cbFirmwareMethod, CB_RESETCONTENT, 0, 0);
    for (const std::string& m : page.FirmwareMethods) {
      SendMessageW(cbFirmwareMethod, CB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(WideFromUtf8(m).c_str()));
    }
  }
  SendMessageW(cbFirmwareMethod, CB_SETCURSEL,
               page.FirmwareMethods.empty() ? -1 : Ui().FirmwareIndex(), 0);
  SendMessageW(cbFirmware, BM_SETCHECK, page.FirmwareChoice.empty() ? BST_UNCHECKED : BST_CHECKED,
               0);
}

void TFmMain::FocusStopButton() { SetFocus(btStop); }

void TFmMain::OnCommand(int id) {
  switch (id) {
    case IDOK: {
      const int page = static_cast<int>(SendMessageW(pages, TCM_GETCURSEL, 0, 0));
      if (const auto control = EnterPresses(page)) SendMessageW(Control(*control), BM_CLICK, 0, 0);
      break;
    }
    case idRunBenchmarks:
      FormatButtonClicked(*this);
      break;
    case idStop:
      StopButtonClicked();
      break;
    case idCertificate: {
      // Opened with the program that shows web pages, for printing.
      const std::string page = SaveCertificateFor(LastEraseRecordFile());
      if (!page.empty()) ShellOpen(WideFromUtf8(page).c_str(), SW_SHOWNORMAL);
      break;
    }
    case idGetSmart:
      SmartButtonClicked(*this);
      break;
    case idSelfTest:
      SelfTestButtonClicked(*this,
                            static_cast<int>(SendMessageW(cbSelfTestKind, CB_GETCURSEL, 0, 0)));
      break;
    // The core keeps the boxes' ticks; the page is drawn from them.
    case idQuickWipe:
      Ui().SetQuickWipe(SendMessageW(cbQuickWipe, BM_GETCHECK, 0, 0) == BST_CHECKED);
      break;
    case idVerify:
      Ui().SetVerify(SendMessageW(cbVerify, BM_GETCHECK, 0, 0) == BST_CHECKED);
      break;
    case idFirmware:
    case idFirmwareMethod:
      Ui().ChooseFirmware(SendMessageW(cbFirmware, BM_GETCHECK, 0, 0) == BST_CHECKED,
                          static_cast<int>(SendMessageW(cbFirmwareMethod, CB_GETCURSEL, 0, 0)));
      break;
  }
}

LRESULT TFmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == pages && header->code == TCN_SELCHANGE) {
        SelectPage(static_cast<int>(SendMessageW(pages, TCM_GETCURSEL, 0, 0)));
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      const auto control = reinterpret_cast<HWND>(lParam);
      // The header strip and the panes are white.
      if (control == lbDiskName || control == Log_Details || control == Log_BenchMark ||
          control == Log_Smart) {
        SetBkColor(reinterpret_cast<HDC>(wParam), kBgrWhite);
        return reinterpret_cast<LRESULT>(white_);
      }
      break;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd_, &paint);
      RECT header;
      GetClientRect(hwnd_, &header);
      header.bottom = kHeaderHeight;
      FillRect(dc, &header, white_);
      EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_SIZE:
      Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMinTrackSize = {kMinimum.Width, kMinimum.Height};
      return 0;
    }
    case WM_CLOSE:
      if (MainWindowCloseRequested()) {
        closed_ = true;
        ShowWindow(hwnd_, SW_HIDE);
      }
      return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

void TFmMain::SetTitle(const std::string& title) {
  SetWindowTextW(hwnd_, WideFromUtf8(title).c_str());
  SendMessageW(StatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(WideFromUtf8(title).c_str()));
}

void TFmMain::ShowDiskName(const std::string& description) {
  SetWindowTextW(lbDiskName, WideFromUtf8(description).c_str());
}

void TFmMain::ShowStatusDescription(const std::string& description) {
  const std::wstring text = WideFromUtf8(description);
  SendMessageW(StatusBar, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(text.c_str()));
  // The whole description where the panel cuts it.
  SendMessageW(StatusBar, SB_SETTIPTEXTW, 1, reinterpret_cast<LPARAM>(text.c_str()));
}

void TFmMain::ShowHealthVerdict(const std::string& verdict) {
  const std::wstring text = WideFromUtf8(verdict);
  SendMessageW(StatusBar, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(text.c_str()));
}

void TFmMain::ShowSelfTestRow(const TSelfTestRow& row) {
  selfTestRow_ = row;
  SetTextIfChanged(lbSelfTest, row.Text);
  ShowWindow(pbSelfTest, row.Percent >= 0 ? SW_SHOW : SW_HIDE);
  SendMessageW(pbSelfTest, PBM_SETPOS, row.Percent < 0 ? 0 : row.Percent, 0);
  EnableWindow(cbSelfTestKind, !row.Running);
  SetTextIfChanged(btSelfTest, row.ButtonCaption);
  EnableWindow(btSelfTest, SelfTestButtonEnabled(row, Ui().Page()));
}

void TFmMain::ScrollReportTo(const TLogPane& pane, int line) {
  ScrollPaneTo(&pane == &quarnel::Log_Smart ? Log_Smart : Log_Details, line);
}

}  // namespace quarnel
