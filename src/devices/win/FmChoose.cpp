#include "devices/win/FmChoose.h"

#include <commctrl.h>

#include "base/ProgramInfo.h"
#include "ui/Catalogue.h"
#include "ui/win/VistaFuncs.h"
#include "ui/win/WinUi.h"

namespace quarnel {

namespace {

// Sent to itself once the chooser is on screen.
constexpr UINT kShown = WM_APP + 1;

enum : int {
  idProgramName = 200,
  idLabel1,
  idSeparator,
  idDriveList,
  idCopyright,
  idDiskManagement,
  idLabel2,
  idContinue,
  idStation,
  idStatusBar
};

using namespace chooser;
constexpr int kWidth = kClient.Width;
constexpr int kHeight = kClient.Height;

}  // namespace

TFmChoose::TFmChoose() {
  Create(L"QuarnelFmChoose", L"", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
         WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, kWidth, kHeight, nullptr);
  font_ = CreateWindowFont();
  header_ = CreateFontOf(kProgramNameFont, font_);
  underlined_ = CreateFontOf(kDiskManagementFont, font_);
  white_ = CreateSolidBrush(kBgrWhite);

  lbProgramName =
      CreateControl(hwnd_, L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, idProgramName);
  Label1 = std::make_unique<TLinkLabel>(hwnd_, WideFromUtf8(kMakerUrl), idLabel1, kMakerLinkColours,
                                        [] { ShellOpen(WideFromUtf8(kMakerUrl).c_str(), SW_SHOW); });
  SetWindowLongW(Label1->Handle(), GWL_STYLE,
                 (GetWindowLongW(Label1->Handle(), GWL_STYLE) & ~SS_TYPEMASK) | SS_RIGHT);
  HWND separator = CreateControl(hwnd_, L"STATIC", L"", SS_ETCHEDHORZ, idSeparator);
  DriveList = CreateControl(hwnd_, WC_LISTVIEWW, L"",
                            LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
                            idDriveList, WS_EX_CLIENTEDGE);
  SendMessageW(DriveList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER,
               LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  for (int i = 0; i < kColumns; ++i) {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    std::wstring caption = WideFromUtf8(kColumnCaptions[i]);
    column.pszText = caption.data();
    column.cx = i < kColumns - 1 ? kColumnWidths[i] : 100;
    SendMessageW(DriveList, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  SetExplorerTheme(DriveList);
  lbCopyright = CreateControl(hwnd_, L"STATIC", WideFromUtf8(kCreditText),
                              SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, idCopyright);
  lbDiskManagement = std::make_unique<TLinkLabel>(
      hwnd_, WideFromUtf8(kDiskManagementCaption), idDiskManagement, kDiskManagementColours,
      [] { ShellOpen(L"diskmgmt.msc", SW_SHOWNORMAL); });
  Label2 = CreateControl(hwnd_, L"STATIC", WideFromUtf8(kHintText), SS_LEFT | SS_CENTERIMAGE,
                         idLabel2);
  btContinue = CreateControl(hwnd_, L"BUTTON", WideFromUtf8(kContinueCaption),
                             BS_DEFPUSHBUTTON | WS_TABSTOP | WS_DISABLED, idContinue);
  btStation = CreateControl(hwnd_, L"BUTTON", WideFromUtf8(station::kChooserButtonCaption),
                            WS_TABSTOP, idStation);
  StatusBar = CreateControl(hwnd_, STATUSCLASSNAMEW, L"", 0, idStatusBar);
  SendMessageW(StatusBar, SB_SIMPLE, TRUE, 0);

  SetFontOfChildren(hwnd_, font_);
  SendMessageW(lbProgramName, WM_SETFONT, reinterpret_cast<WPARAM>(header_), FALSE);
  SendMessageW(lbDiskManagement->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(underlined_),
               FALSE);

  RECT status;
  GetWindowRect(StatusBar, &status);
  const int statusHeight = status.bottom - status.top;
  const int bottomTop = kHeight - statusHeight - kBottomHeight;
  MoveWindow(lbProgramName, 12, 0, 420, kHeaderHeight, FALSE);
  MoveWindow(Label1->Handle(), kWidth - 12 - 360, 0, 360, kHeaderHeight, FALSE);
  MoveWindow(separator, 0, kHeaderHeight, kWidth, kSeparatorHeight, FALSE);
  MoveWindow(DriveList, 0, kHeaderHeight + kSeparatorHeight, kWidth,
             bottomTop - kHeaderHeight - kSeparatorHeight, FALSE);
  const int line = FontLineHeight(font_) + 4;
  const int middle = bottomTop + (kBottomHeight - line) / 2;
  MoveWindow(lbCopyright, 12, middle, 280, line, FALSE);
  MoveWindow(lbDiskManagement->Handle(), 300, middle, 150, line, FALSE);
  MoveWindow(Label2, 590 - station::kChooserButtonWidth, middle, 140, line, FALSE);
  MoveWindow(btStation, kWidth - 18 - kContinueWidth - station::kChooserButtonWidth,
             bottomTop + (kBottomHeight - kButtonHeight) / 2, station::kChooserButtonWidth,
             kButtonHeight, FALSE);
  MoveWindow(btContinue, kWidth - 12 - kContinueWidth, bottomTop + (kBottomHeight - kButtonHeight) / 2,
             kContinueWidth, kButtonHeight, FALSE);
  // The last column fills what the others leave.
  SendMessageW(DriveList, LVM_SETCOLUMNWIDTH, kColumns - 1, LVSCW_AUTOSIZE_USEHEADER);
  CentreOnScreen(hwnd_);
}

TFmChoose::~TFmChoose() {
  if (hwnd_) DestroyWindow(hwnd_);
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(font_), static_cast<HGDIOBJ>(header_),
                         static_cast<HGDIOBJ>(underlined_), static_cast<HGDIOBJ>(white_)}) {
    DeleteObject(object);
  }
}

void TFmChoose::SetTitles(const std::string& caption, const std::string& header) {
  SetWindowTextW(hwnd_, WideFromUtf8(caption).c_str());
  SetWindowTextW(lbProgramName, WideFromUtf8(header).c_str());
}

void TFmChoose::ShowRows(const std::vector<TDriveListRow>& rows, const std::string& status) {
  SendMessageW(DriveList, LVM_DELETEALLITEMS, 0, 0);
  for (size_t i = 0; i < rows.size(); ++i) {
    for (int column = 0; column < kColumns; ++column) {
      std::wstring text = WideFromUtf8(rows[i][column]);
      LVITEMW item = {};
      item.mask = LVIF_TEXT;
      item.iItem = static_cast<int>(i);
      item.iSubItem = column;
      item.pszText = text.data();
      SendMessageW(DriveList, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMW, 0,
                   reinterpret_cast<LPARAM>(&item));
    }
  }
  SendMessageW(StatusBar, SB_SETTEXTW, SB_SIMPLEID,
               reinterpret_cast<LPARAM>(WideFromUtf8(status).c_str()));
}

void TFmChoose::ShowModal() {
  closed_ = false;
  ChooserFormShow(*this);
  PostMessageW(hwnd_, kShown, 0, 0);
  RunModal(hwnd_, GetWindow(hwnd_, GW_OWNER), [this] { return closed_; });
}

void TFmChoose::FocusList() { SetFocus(DriveList); }

void TFmChoose::SelectRow(int64_t row) {
  LVITEMW state = {};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(DriveList, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(&state));
  SendMessageW(DriveList, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void TFmChoose::EnableContinue(bool enabled) { EnableWindow(btContinue, enabled); }

void TFmChoose::CloseChooser() {
  if (closed_) return;
  closed_ = true;
  ShowWindow(hwnd_, SW_HIDE);
  ChooserClosed();
}

int TFmChoose::SelectedRow() const {
  return static_cast<int>(SendMessageW(DriveList, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
}

LRESULT TFmChoose::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:  // Enter: the default button
        case idContinue:
          btContinueClick(*this, SelectedRow());
          return 0;
        case idStation:
          btStationClick(*this);
          return 0;
        case IDCANCEL:
          // Esc: the program ends, nothing chosen.
          DriveListKeyEscape(*this);
          return 0;
      }
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom != DriveList) return 0;
      if (header->code == LVN_ITEMCHANGED) DriveListClick(*this, SelectedRow());
      if (header->code == NM_DBLCLK) DriveListDblClick(*this, SelectedRow());
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      const auto control = reinterpret_cast<HWND>(lParam);
      auto dc = reinterpret_cast<HDC>(wParam);
      if (control == lbProgramName || control == Label1->Handle()) {
        SetBkColor(dc, kBgrWhite);
        return reinterpret_cast<LRESULT>(white_);
      }
      if (control == lbCopyright) {
        SetTextColor(dc, kCreditColour);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd_, &paint);
      RECT header = {0, 0, kWidth, kHeaderHeight};
      FillRect(dc, &header, white_);
      EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_CLOSE:
      CloseChooser();
      return 0;
    case kShown:
      ChooserShown();
      return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace quarnel
