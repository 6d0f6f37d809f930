// quarnel.exe's windows under wine, driven in-process with window messages:
// a scripted user answers each modal window from a thread timer, as a person
// would, while the program runs its own message loops.
#include <gtest/gtest.h>

// <windows.h> first: the other SDK headers build on it.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <deque>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "agreement/LicenseAgreement.h"
#include "agreement/win/FmLicenseAgreement.h"
#include "app/MainState.h"
#include "app/StartUp.h"
#include "app/win/Desktop.h"
#include "app/win/FmMain.h"
#include "base/Logging.h"
#include "devices/DriveChoose.h"
#include "devices/win/FmChoose.h"
#include "station/win/FmStation.h"
#include "app/MainState.h"
#include "support/SimSupport.h"
#include "ui/UiSeam.h"

using namespace quarnel;
using test::SimDrive;

namespace {

// The scripted user: each step is offered the screen on every tick and says
// whether it has acted. Ticks stop while a step runs.
std::deque<std::function<bool()>> steps;
DWORD deadline = 0;

BOOL CALLBACK CloseEveryWindow(HWND window, LPARAM) {
  if (IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  static bool busy = false;
  if (busy) return;
  busy = true;
  if (!steps.empty() && steps.front()()) steps.pop_front();
  if (!steps.empty() && GetTickCount() > deadline) {
    ADD_FAILURE() << "the scripted user waited in vain; steps left: " << steps.size();
    steps.clear();
    RequestProgramEnd(3);
    EnumThreadWindows(GetCurrentThreadId(), CloseEveryWindow, 0);
  }
  busy = false;
}

std::string WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return Utf8FromWide(text);
}

bool Shown(HWND window) { return window && IsWindowVisible(window); }

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t name[32];
  GetClassNameW(window, name, 32);
  if (IsWindowVisible(window) &&
      (lstrcmpW(name, L"#32770") == 0 || lstrcmpW(name, L"QuarnelClassicDialog") == 0)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

// A message box, task dialog or classic dialog on screen.
HWND VisibleDialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

void Press(HWND dialog, int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }
// Ticks or clears a check box the way a click does.
void TickBox(HWND box, bool on) {
  if ((SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) != on)
    SendMessageW(box, BM_CLICK, 0, 0);
}
void Key(HWND window, WPARAM key) { PostMessageW(window, WM_KEYDOWN, key, 0); }

int SelectedRow(HWND list) {
  return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
}

void SelectRow(HWND list, int row) {
  LVITEMW state = {};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

bool Logged(const std::string& text) {
  for (const std::string& line : quarnel::Log_BenchMark.Lines()) {
    if (line.size() >= text.size() &&
        line.compare(line.size() - text.size(), text.size(), text) == 0)
      return true;
  }
  return false;
}

class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    steps.clear();
    deadline = GetTickCount() + 30000;
    timer_ = SetTimer(nullptr, 0, 40, Tick);
    Agreement("1");
  }
  void TearDown() override {
    KillTimer(nullptr, timer_);
    steps.clear();
    DeleteFileW(WideFromUtf8(AgreementFilePath()).c_str());
  }

  // The acceptance file's content; nullptr: no file.
  static void Agreement(const char* content) {
    const std::string path = AgreementFilePath();
    DeleteFileW(WideFromUtf8(path).c_str());
    if (content) std::ofstream(path, std::ios::binary) << content;
  }

  SimHost& Machine(const std::vector<std::string>& drives, int major = 6) {
    return test::UseSimHost(test::SimMachine(drives, major));
  }

  // Runs the program to its end with the steps given.
  int Run() {
    TWinWindows windows;
    TDesktop desktop(windows, {}, "C:\\quarnel\\quarnel.exe");
    windows_ = &windows;
    const int status = desktop.Run();
    windows_ = nullptr;
    EXPECT_TRUE(steps.empty()) << steps.size() << " steps not taken";
    return status;
  }

  TFmMain& Main() { return *windows_->FmMain; }
  TFmChoose& Chooser() { return *windows_->FmChoose; }
  bool MainShown() { return windows_ && Shown(Main().Handle()); }

  // The chooser's first row is taken.
  void ChooseFirstDrive() {
    steps.push_back([this] {
      if (!windows_ || !Shown(Chooser().Handle())) return false;
      SelectRow(Chooser().DriveList, 0);
      Key(Chooser().DriveList, VK_RETURN);
      return true;
    });
  }

  // The format button on the format page, the confirmation answered.
  void Format(bool quickWipe, int answer, bool verify = false) {
    steps.push_back([this, quickWipe, verify] {
      if (!MainShown() || !IsWindowEnabled(Main().btRunBenchmarks)) return false;
      Main().SelectPage(1);
      TickBox(Main().cbQuickWipe, quickWipe);
      TickBox(Main().cbVerify, verify);
      Click(Main().btRunBenchmarks);
      return true;
    });
    steps.push_back([answer] {
      HWND dialog = VisibleDialog();
      if (!dialog) return false;
      EXPECT_EQ(WindowText(dialog), "警告");
      Press(dialog, answer);
      return true;
    });
  }

  void CloseMainWhen(std::function<bool()> ready) {
    steps.push_back([this, ready] {
      if (!ready()) return false;
      PostMessageW(Main().Handle(), WM_CLOSE, 0, 0);
      return true;
    });
  }

  TWinWindows* windows_ = nullptr;
  UINT_PTR timer_ = 0;
};

TEST_F(DesktopTest, ChooserOffersTheLastDriveRefusesSmallOnesAndEscEndsTheProgram) {
  SimHost& host = Machine({SimDrive(0, 1 << 21), SimDrive(1, 65534), SimDrive(2, 1 << 21)});
  steps.push_back([this] {
    if (!windows_ || !Shown(Chooser().Handle())) return false;
    EXPECT_EQ(WindowText(Chooser().Handle()), "Quarnel 4.40");
    EXPECT_EQ(SendMessageW(Chooser().DriveList, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(SelectedRow(Chooser().DriveList), 2);
    EXPECT_TRUE(IsWindowEnabled(Chooser().btContinue));
    SelectRow(Chooser().DriveList, 1);
    Click(Chooser().btContinue);
    return true;
  });
  steps.push_back([] {
    HWND box = VisibleDialog();
    if (!box) return false;
    EXPECT_EQ(WindowText(box), "Cannot access this device");
    Press(box, IDOK);
    return true;
  });
  steps.push_back([this] {
    if (VisibleDialog() || !Shown(Chooser().Handle())) return false;
    EXPECT_FALSE(DeviceChosen);
    Key(Chooser().DriveList, VK_ESCAPE);
    return true;
  });
  Run();
  EXPECT_TRUE(ProgramEndRequested());
  EXPECT_FALSE(DeviceChosen);
  EXPECT_EQ(DeviceHandle, kInvalidHandle);
  EXPECT_EQ(host.OpenHandleCount(), 0u);
}

TEST_F(DesktopTest, DetailsAndSmartPagesShowTheReportsAndClosingReleasesTheDrive) {
  SimHost& host = Machine({SimDrive(0, 1 << 21)});
  ChooseFirstDrive();
  steps.push_back([this, &host] {
    if (!MainShown()) return false;
    EXPECT_EQ(host.OpenHandleCount(), 1u);
    EXPECT_NE(WindowText(Main().Log_Details).find("WDC WD5000AAKS-00TMA0"), std::string::npos);
    EXPECT_EQ(WindowText(Main().lbDiskName), DeviceDescription);
    Main().SelectPage(2);
    SendMessageW(Main().btGetSmart, BM_CLICK, 0, 0);
    EXPECT_FALSE(quarnel::Log_Smart.Lines().empty());
    EXPECT_NE(WindowText(Main().Log_Smart).find("HDA"), std::string::npos);
    for (HWND control : {Main().btGetSmart, Main().btRunBenchmarks, Main().cbQuickWipe}) {
      EXPECT_TRUE(IsWindowEnabled(control));
    }
    // The self-test beside it runs to its end and says how it went.
    SendMessageW(Main().btSelfTest, BM_CLICK, 0, 0);
    EXPECT_NE(WindowText(Main().lbSelfTest).find("完成, 无错误"), std::string::npos)
        << WindowText(Main().lbSelfTest);
    EXPECT_NE(WindowText(Main().Log_Smart).find("自检日志"), std::string::npos);
    EXPECT_TRUE(IsWindowEnabled(Main().btSelfTest));
    PostMessageW(Main().Handle(), WM_CLOSE, 0, 0);
    return true;
  });
  Run();
  EXPECT_EQ(host.OpenHandleCount(), 0u);
}

TEST_F(DesktopTest, QuickWipeWithReadBackZeroesTheStartAndTheLastMebibyteOfTheImage) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  const std::string image = Utf8FromWide(folder) + "quarnel-desktop-test.img";
  const int64_t size = 32 << 20;
  std::ofstream(image, std::ios::binary) << std::string(static_cast<size_t>(size), '\xAB');
  std::string path = image;
  for (char& c : path) c = c == '\\' ? '/' : c;
  Machine({SimDrive(0, size / 512, true, R"(, "image": ")" + path + "\"")});
  ChooseFirstDrive();
  Format(true, IDYES, true);
  CloseMainWhen([this] {
    if (!Logged("别忘了创建一个新的分区。") || !IsWindowEnabled(Main().btRunBenchmarks))
      return false;
    EXPECT_FALSE(IsWindowEnabled(Main().btStop));
    EXPECT_TRUE(Logged("校验完成：所有已写入的扇区均为零。")) << WindowText(Main().Log_BenchMark);
    // wine neither draws nor reports the paused state: the state set is what counts.
    EXPECT_EQ(windows_->Ui.Page().State, TProgressState::pbsPaused);
    return true;
  });
  Run();
  std::ifstream in(image, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  DeleteFileW(WideFromUtf8(image).c_str());
  ASSERT_EQ(bytes.size(), static_cast<size_t>(size));
  EXPECT_EQ(bytes.find_first_not_of('\0'), 10240000u);
  EXPECT_EQ(bytes.find_last_not_of('\0'), static_cast<size_t>(size - (1 << 20) - 1));
}

TEST_F(DesktopTest, StopEndsAThrottledRunAndCloseDuringARunWaitsForIt) {
  SimHost& host = Machine({SimDrive(0, 1 << 21, true, R"(, "write_mb_per_s": 2)")});
  ChooseFirstDrive();
  Format(false, IDYES);
  steps.push_back([this] {
    if (!IsWindowEnabled(Main().btStop)) return false;
    // The busy switch holds the boxes and the buttons that start something.
    for (HWND control :
         {Main().btRunBenchmarks, Main().btGetSmart, Main().cbQuickWipe, Main().cbVerify}) {
      EXPECT_FALSE(IsWindowEnabled(control));
    }
    Click(Main().btStop);
    return true;
  });
  // A second run, closed while it writes: the window stays, the run stops.
  Format(false, IDYES);
  steps.push_back([this, &host] {
    if (!IsWindowEnabled(Main().btStop)) return false;
    SendMessageW(Main().Handle(), WM_CLOSE, 0, 0);
    // The close is put off: the window and the drive stay until the run ends.
    EXPECT_TRUE(FormatInProgress());
    EXPECT_TRUE(MainShown());
    EXPECT_NE(DeviceHandle, kInvalidHandle);
    EXPECT_EQ(host.OpenHandleCount(), 1u);
    return true;
  });
  Run();
  EXPECT_EQ(DeviceHandle, kInvalidHandle);
  EXPECT_EQ(host.OpenHandleCount(), 0u);
  int stopped = 0, reminders = 0;
  for (const std::string& line : quarnel::Log_BenchMark.Lines()) {
    stopped += line.find("取消操作") != std::string::npos;
    reminders += line.find("别忘了创建一个新的分区。") != std::string::npos;
  }
  EXPECT_EQ(stopped, 2);
  EXPECT_EQ(reminders, 2);
}

TEST_F(DesktopTest, OnAnOlderHostTheClassicDialogAsksAndCancelChangesNothing) {
  Machine({SimDrive(0, 1 << 21)}, 5);
  ChooseFirstDrive();
  size_t lines = 0;
  steps.push_back([this, &lines] {
    if (!MainShown()) return false;
    lines = quarnel::Log_BenchMark.Lines().size();
    return true;
  });
  Format(false, IDCANCEL);
  CloseMainWhen([this] { return !VisibleDialog() && IsWindowEnabled(Main().btRunBenchmarks); });
  Run();
  EXPECT_EQ(quarnel::Log_BenchMark.Lines().size(), lines);
}

TEST_F(DesktopTest, AgreementRefusedEndsTheProgramAcceptedIsRemembered) {
  SimHost& host = Machine({SimDrive(0, 1 << 21)});
  Agreement("1\r\n");
  steps.push_back([] {
    HWND window = FindWindowW(L"QuarnelFmLicenseAgreement", nullptr);
    if (!Shown(window)) return false;
    Click(GetDlgItem(window, 302));  // 不同意
    return true;
  });
  Run();
  EXPECT_TRUE(ProgramEndRequested());
  EXPECT_EQ(host.OpenHandleCount(), 0u);

  Machine({SimDrive(0, 1 << 21)});
  Agreement(nullptr);
  steps.push_back([] {
    HWND window = FindWindowW(L"QuarnelFmLicenseAgreement", nullptr);
    if (!Shown(window)) return false;
    Click(GetDlgItem(window, 301));  // 同意
    return true;
  });
  steps.push_back([this] {
    if (!windows_ || !Shown(Chooser().Handle())) return false;
    EXPECT_EQ(ReadTextFile(AgreementFilePath()), "1");
    PostMessageW(Chooser().Handle(), WM_CLOSE, 0, 0);
    return true;
  });
  Run();
  EXPECT_TRUE(ProgramEndRequested());
}


// The station: the ticked drives erased at once, each by quarnel-cli.exe in
// its own process, one failing on its own; the one not ticked untouched.
TEST_F(DesktopTest, StationErasesTheTickedDrivesEachOnItsOwn) {
  const std::string machine = R"({"drives": [
    {"number": 0, "length": 33554432, "product": "GOOD", "serial": "GOOD0001"},
    {"number": 1, "length": 33554432, "product": "BAD", "serial": "BAD00002",
     "faults": {"write_errors": [{"offset": 1048576, "code": 23}]}},
    {"number": 2, "length": 33554432, "product": "IDLE", "serial": "IDLE0003"}]})";
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::string folder = Utf8FromWide(temp) + "quarnel-station-test";
  CreateDirectoryW(WideFromUtf8(folder).c_str(), nullptr);
  const std::string file = folder + "\\rack.json";
  std::ofstream(file, std::ios::binary) << machine;
  test::UseSimHost(machine);
  std::string cli = std::string("Z:") + QUARNEL_CLI_PATH;
  for (char& c : cli) c = c == '/' ? '\\' : c;
  TStationSetup setup;
  setup.MemberProgram = cli;
  setup.Host.Simulate = true;
  setup.Host.SimulateFile = file;
  setup.RecordDir = folder;
  TWinUi ui;
  TFmStation station(ui, setup);
  station.Show();
  auto cell = [&](int row, int column) {
    wchar_t text[256] = L"";
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(station.DriveTable, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return Utf8FromWide(text);
  };
  ASSERT_EQ(SendMessageW(station.DriveTable, LVM_GETITEMCOUNT, 0, 0), 3);
  for (int row : {0, 1}) {
    LVITEMW state = {};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(2);
    SendMessageW(station.DriveTable, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  }
  EXPECT_TRUE(IsWindowEnabled(station.btStart));
  steps.push_back([&] {
    Click(station.btStart);
    return true;
  });
  std::string question;
  steps.push_back([&] {
    HWND dialog = VisibleDialog();
    if (!dialog) return false;
    question = WindowText(dialog);
    Press(dialog, IDYES);
    return true;
  });
  deadline = GetTickCount() + 60000;
  steps.push_back([&] {
    if (station.Station().Busy() || cell(1, 12).empty()) return false;
    PostMessageW(station.Handle(), WM_CLOSE, 0, 0);
    return true;
  });
  PumpUntil([&] { return station.Closed() || steps.empty(); });
  EXPECT_EQ(question, "警告");
  EXPECT_EQ(cell(0, 12), "完成") << station.Station().Rows()[0].LastLine << " / " << cli;
  EXPECT_EQ(cell(1, 12), "失败");
  EXPECT_EQ(cell(2, 8), "空闲");
  EXPECT_EQ(cell(2, 12), "");
  EXPECT_FALSE(cell(0, 13).empty());
}

}  // namespace
