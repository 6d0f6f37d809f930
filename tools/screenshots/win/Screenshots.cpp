// Takes the pictures of quarnel.exe on the demo machine: a scripted user
// answers each window as it comes and every step is saved as a PNG, frame
// included. Run inside a wine virtual desktop (scripts/screenshots-windows.sh).
// The demo's first drive is slowed down so that a quick wipe can be caught
// half-way.
// <windows.h> first: the other SDK headers build on it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdio>
#include <functional>
#include <vector>

#include "PngFile.h"
#include "agreement/LicenseAgreement.h"
#include "app/win/Desktop.h"
#include "app/win/FmMain.h"
#include "host/sim/SimHost.h"

using namespace quarnel;

namespace {

std::wstring outDir;
int failures = 0;
TWinWindows* desktop = nullptr;
std::vector<std::function<bool()>> steps;
size_t next = 0;
DWORD runStart = 0;

void Save(HWND window, const wchar_t* name) {
  RECT rect;
  GetWindowRect(window, &rect);
  const std::wstring path = outDir + L"\\" + name + L".png";
  if (!SaveScreenRect(rect, path)) {
    std::fprintf(stderr, "screenshots: cannot write %ls\n", path.c_str());
    ++failures;
  }
}

HWND Visible(const wchar_t* className) {
  HWND window = FindWindowW(className, nullptr);
  return window && IsWindowVisible(window) ? window : nullptr;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t name[16];
  GetClassNameW(window, name, 16);
  if (IsWindowVisible(window) && lstrcmpW(name, L"#32770") == 0) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

HWND VisibleDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

// Lets the windows paint before a picture is taken.
void Settle() {
  MSG message;
  for (int i = 0; i < 5; ++i) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchWindowMessage(message);
    Sleep(40);
  }
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  static bool busy = false;
  if (busy) return;  // a step that pumps messages must not start the next
  busy = true;
  if (next < steps.size() && steps[next]()) ++next;
  busy = false;
}

std::vector<std::function<bool()>> MainSteps() {
  return {
      [] {
        HWND w = Visible(L"QuarnelFmLicenseAgreement");
        if (!w) return false;
        Settle();
        Save(w, L"1-agreement");
        Click(GetDlgItem(w, 301));
        return true;
      },
      [] {
        HWND w = Visible(L"QuarnelFmChoose");
        if (!w) return false;
        Settle();
        Save(w, L"2-chooser");
        HWND list = GetDlgItem(w, 203);
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
        Click(GetDlgItem(w, 207));
        return true;
      },
      [] {
        if (!desktop || !IsWindowVisible(desktop->FmMain->Handle())) return false;
        TFmMain& m = *desktop->FmMain;
        Settle();
        Save(m.Handle(), L"3-main-details");
        m.SelectPage(2);
        SendMessageW(m.btGetSmart, BM_CLICK, 0, 0);
        Settle();
        Save(m.Handle(), L"4-main-smart");
        // The short self-test beside the SMART button, run to its end.
        SendMessageW(m.btSelfTest, BM_CLICK, 0, 0);
        Settle();
        Save(m.Handle(), L"4-main-selftest");
        m.SelectPage(1);
        Settle();
        Save(m.Handle(), L"5-main-format");
        SendMessageW(m.cbQuickWipe, BM_CLICK, 0, 0);
        // The click runs the whole procedure; the next steps run inside it.
        Click(m.btRunBenchmarks);
        return true;
      },
      [] {
        HWND box = VisibleDialog();
        if (!box) return false;
        Settle();
        Save(box, L"6-format-confirmation");
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
        runStart = GetTickCount();
        return true;
      },
      [] {
        TFmMain& m = *desktop->FmMain;
        if (GetTickCount() - runStart < 2500 || !IsWindowEnabled(m.btStop)) return false;
        Save(m.Handle(), L"7-format-in-progress");
        Click(m.btStop);
        return true;
      },
      [] {
        TFmMain& m = *desktop->FmMain;
        if (!IsWindowEnabled(m.btRunBenchmarks)) return false;
        Settle();
        Save(m.Handle(), L"8-format-stopped");
        PostMessageW(m.Handle(), WM_CLOSE, 0, 0);
        return true;
      },
  };
}

std::vector<std::function<bool()>> DebugSteps() {
  return {
      [] {
        HWND w = Visible(L"QuarnelFmLicenseAgreement");
        if (!w) return false;
        Click(GetDlgItem(w, 301));
        return true;
      },
      [] {
        HWND w = Visible(L"QuarnelFmDebug");
        if (!w || !IsWindowEnabled(w) || Visible(L"QuarnelFmChoose")) return false;
        // The modal show comes after the scan: the chooser's caption is set by then.
        wchar_t caption[64] = {};
        GetWindowTextW(FindWindowW(L"QuarnelFmChoose", nullptr), caption, 64);
        if (!caption[0]) return false;
        Settle();
        Save(w, L"0-debug-window");
        PostMessageW(w, WM_CLOSE, 0, 0);
        return true;
      },
      [] {
        HWND w = Visible(L"QuarnelFmChoose");
        if (!w) return false;
        PostMessageW(w, WM_CLOSE, 0, 0);
        return true;
      },
  };
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  outDir = argc > 1 ? argv[1] : L".";
  const bool debugOnly = argc > 2 && lstrcmpiW(argv[2], L"--debug") == 0;
  // A first start: the agreement is shown.
  DeleteFileW(WideFromUtf8(AgreementFilePath()).c_str());

  std::unique_ptr<SimHost> host = SimHost::Demo();
  host->Drive(0)->WriteMBPerSecond = 2;  // a quick wipe then takes about five seconds
  SetHost(std::move(host));

  steps = debugOnly ? DebugSteps() : MainSteps();
  SetTimer(nullptr, 0, 150, Tick);
  std::vector<std::string> arguments;
  if (debugOnly) arguments.push_back("--debug");
  TWinWindows windows;
  desktop = &windows;
  TDesktop program(windows, arguments, "C:\\Program Files\\Quarnel\\quarnel.exe");
  program.Run();
  desktop = nullptr;
  if (next != steps.size()) std::fprintf(stderr, "screenshots: stuck at step %zu\n", next + 1);
  return failures == 0 && next == steps.size() ? 0 : 1;
}
