#include "station/win/FmStation.h"

#include <commctrl.h>

#include "base/WideText.h"
#include "ui/Catalogue.h"
#include "ui/win/VistaFuncs.h"
#include "ui/win/WinUi.h"

namespace quarnel {

namespace {

enum : int {
  idDriveTable = 300,
  idMode0,
  idMode1,
  idMode2,
  idMethod,
  idVerify,
  idStart,
  idStop,
  idStopAll,
  idCertificate,
  idStatusBar
};
constexpr UINT_PTR kPollTimer = 1;

using namespace station;

bool Checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

TFmStation::TFmStation(TUiSeam& ui, TStationSetup setup) {
  Create(L"QuarnelFmStation", WideFromUtf8(kTitle),
         WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT | WS_EX_APPWINDOW,
         kClient.Width, kClient.Height, nullptr);
  station_ = std::make_unique<TStation>(*this, ui, std::move(setup));
  font_ = CreateWindowFont();
  DriveTable = CreateControl(hwnd_, WC_LISTVIEWW, L"", LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP,
                             idDriveTable, WS_EX_CLIENTEDGE);
  SendMessageW(DriveTable, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
               LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_CHECKBOXES);
  for (int i = 0; i < kColumns; ++i) {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    std::wstring caption = WideFromUtf8(kColumnCaptions[static_cast<size_t>(i)]);
    column.pszText = caption.data();
    column.cx = i < kColumns - 1 ? kColumnWidths[static_cast<size_t>(i)] : 160;
    SendMessageW(DriveTable, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  SetExplorerTheme(DriveTable);
  for (size_t i = 0; i < rbMode.size(); ++i) {
    rbMode[i] = CreateControl(hwnd_, L"BUTTON", WideFromUtf8(kModeCaptions[i]),
                              BS_AUTORADIOBUTTON | WS_TABSTOP | (i == 0 ? WS_GROUP : 0),
                              idMode0 + static_cast<int>(i));
  }
  SendMessageW(rbMode[0], BM_SETCHECK, BST_CHECKED, 0);
  cbMethod = CreateControl(hwnd_, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL |
                                                         WS_DISABLED | WS_GROUP,
                           idMethod);
  for (const char* m : kMethodChoices) {
    SendMessageW(cbMethod, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideFromUtf8(m).c_str()));
  }
  SendMessageW(cbMethod, CB_SETCURSEL, 0, 0);
  cbVerify = CreateControl(hwnd_, L"BUTTON", WideFromUtf8(mainwindow::kVerifyCaption),
                           BS_AUTOCHECKBOX | WS_TABSTOP, idVerify);
  SendMessageW(cbVerify, BM_SETCHECK, BST_CHECKED, 0);
  auto button = [this](const char* caption, int id) {
    return CreateControl(hwnd_, L"BUTTON", WideFromUtf8(caption), WS_TABSTOP | WS_DISABLED, id);
  };
  btStart = button(kStartCaption, idStart);
  btStop = button(kStopCaption, idStop);
  btStopAll = button(kStopAllCaption, idStopAll);
  btCertificate = button(kCertificateCaption, idCertificate);
  StatusBar = CreateControl(hwnd_, STATUSCLASSNAMEW, L"", 0, idStatusBar);
  SendMessageW(StatusBar, SB_SIMPLE, TRUE, 0);
  SetFontOfChildren(hwnd_, font_);
  RECT client;
  GetClientRect(hwnd_, &client);
  Layout(client.right, client.bottom);
  CentreOnScreen(hwnd_);
  ModeChanged();
}

TFmStation::~TFmStation() {
  KillTimer(hwnd_, kPollTimer);
  station_.reset();  // its runs end first, each with its record
  if (hwnd_) DestroyWindow(hwnd_);
  DeleteObject(font_);
}

void TFmStation::Layout(int width, int height) {
  RECT status;
  GetWindowRect(StatusBar, &status);
  SendMessageW(StatusBar, WM_SIZE, 0, 0);
  const int statusHeight = status.bottom - status.top;
  const int buttonsTop = height - statusHeight - kButtonHeight - 8;
  const int modesTop = buttonsTop - kButtonHeight - 6;
  MoveWindow(DriveTable, 0, 0, width, modesTop - 6, TRUE);
  int x = 12;
  for (HWND rb : rbMode) {
    MoveWindow(rb, x, modesTop, 190, kButtonHeight, TRUE);
    x += 196;
  }
  MoveWindow(cbMethod, x, modesTop + 3, 140, 200, TRUE);
  MoveWindow(cbVerify, x + 164, modesTop, 160, kButtonHeight, TRUE);
  x = 12;
  for (HWND b : {btStart, btStop, btStopAll}) {
    MoveWindow(b, x, buttonsTop, kButtonWidth, kButtonHeight, TRUE);
    x += kButtonWidth + 6;
  }
  MoveWindow(btCertificate, width - 12 - kButtonWidth, buttonsTop, kButtonWidth, kButtonHeight,
             TRUE);
}

void TFmStation::Show() {
  ShowWindow(hwnd_, SW_SHOW);
  if (started_) return;
  started_ = true;
  station_->Start();
  SetTimer(hwnd_, kPollTimer, kPollMs, nullptr);
}

void TFmStation::Close() {
  // Runs going: each is asked to stop and ends with its record; the window
  // closes once the last has ended.
  if (station_->Busy()) {
    closeWhenDone_ = true;
    station_->Stop({});
    return;
  }
  KillTimer(hwnd_, kPollTimer);
  ShowWindow(hwnd_, SW_HIDE);
  closed_ = true;
}

void TFmStation::ModeChanged() {
  TStationMode mode;
  for (size_t i = 0; i < rbMode.size(); ++i) {
    if (Checked(rbMode[i])) mode.Kind = static_cast<TStationMode::TKind>(i);
  }
  const LRESULT method = SendMessageW(cbMethod, CB_GETCURSEL, 0, 0);
  if (method >= 0 && static_cast<size_t>(method) < kMethodChoices.size()) {
    mode.Method = kMethodChoices[static_cast<size_t>(method)];
  }
  mode.Verify = Checked(cbVerify);
  const bool firmware = mode.Kind == TStationMode::TKind::Firmware;
  EnableWindow(cbMethod, firmware);
  EnableWindow(cbVerify, !firmware);
  station_->SetMode(mode);
}

std::vector<size_t> TFmStation::SelectedRows() const {
  std::vector<size_t> rows;
  for (int i = -1;
       (i = static_cast<int>(SendMessageW(DriveTable, LVM_GETNEXTITEM, i, LVNI_SELECTED))) >= 0;) {
    rows.push_back(static_cast<size_t>(i));
  }
  return rows;
}

void TFmStation::SetTitle(const std::string& title) {
  SetWindowTextW(hwnd_, WideFromUtf8(title).c_str());
}

void TFmStation::ShowRows(const std::vector<TStationRow>& rows) {
  drawing_ = true;
  const int count = static_cast<int>(SendMessageW(DriveTable, LVM_GETITEMCOUNT, 0, 0));
  for (int i = count; i < static_cast<int>(rows.size()); ++i) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = i;
    item.pszText = const_cast<wchar_t*>(L"");
    SendMessageW(DriveTable, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto cells = rows[i].Cells();
    for (int column = 0; column < kColumns; ++column) {
      std::wstring text = WideFromUtf8(cells[static_cast<size_t>(column)]);
      wchar_t shown[512] = L"";
      LVITEMW get = {};
      get.iSubItem = column;
      get.pszText = shown;
      get.cchTextMax = 512;
      SendMessageW(DriveTable, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&get));
      if (text == shown) continue;
      LVITEMW set = {};
      set.iSubItem = column;
      set.pszText = text.data();
      SendMessageW(DriveTable, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&set));
    }
    // The box: 1 unticked, 2 ticked; none (0) where the drive cannot be ticked.
    const bool tickable = rows[i].Present && (rows[i].State == TStationState::Idle ||
                                              rows[i].State == TStationState::Done);
    const UINT image = tickable ? (rows[i].Ticked ? 2u : 1u) : 0u;
    LVITEMW state = {};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(image);
    SendMessageW(DriveTable, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
  }
  drawing_ = false;
}

void TFmStation::ShowStatus(const std::string& text) {
  SendMessageW(StatusBar, SB_SETTEXTW, SB_SIMPLEID,
               reinterpret_cast<LPARAM>(WideFromUtf8(text).c_str()));
}

void TFmStation::EnableButtons(bool start, bool stop) {
  EnableWindow(btStart, start);
  EnableWindow(btStop, stop);
  EnableWindow(btStopAll, stop);
}

void TFmStation::OpenPage(const std::string& path) {
  ShellOpen(WideFromUtf8(path).c_str(), SW_SHOWNORMAL);
}

LRESULT TFmStation::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case idMode0:
        case idMode1:
        case idMode2:
        case idVerify:
          ModeChanged();
          return 0;
        case idMethod:
          if (HIWORD(wParam) == CBN_SELCHANGE) ModeChanged();
          return 0;
        case idStart:
          station_->StartTicked();
          return 0;
        case idStop:
          if (const auto rows = SelectedRows(); !rows.empty()) station_->Stop(rows);
          return 0;
        case idStopAll:
          station_->Stop({});
          return 0;
        case idCertificate:
          if (const auto rows = SelectedRows(); rows.size() == 1) {
            station_->OpenCertificate(rows.front());
          }
          return 0;
        case IDCANCEL:
          Close();
          return 0;
      }
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom != DriveTable) return 0;
      if (header->code == LVN_ITEMCHANGED && !drawing_) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if (change->iItem >= 0 && (change->uChanged & LVIF_STATE) &&
            ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK)) {
          const UINT image = (change->uNewState & LVIS_STATEIMAGEMASK) >> 12;
          if (image != 0) station_->Tick(static_cast<size_t>(change->iItem), image == 2);
        }
        const auto rows = SelectedRows();
        EnableWindow(btCertificate,
                     rows.size() == 1 && !station_->Rows()[rows.front()].Drive.RecordFile.empty());
      }
      if (header->code == NM_DBLCLK) {
        const auto rows = SelectedRows();
        if (rows.size() == 1 && !station_->Rows()[rows.front()].Drive.RecordFile.empty()) {
          station_->OpenCertificate(rows.front());
        }
      }
      return 0;
    }
    case WM_TIMER:
      if (wParam == kPollTimer) {
        station_->Poll();
        if (closeWhenDone_ && !station_->Busy()) Close();
      }
      return 0;
    case WM_SIZE:
      Layout(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize = {kMinimum.Width, kMinimum.Height};
      return 0;
    }
    case WM_CLOSE:
      Close();
      return 0;
  }
  return TWindow::HandleMessage(message, wParam, lParam);
}

}  // namespace quarnel
