// The desktop's start-up against fake windows: the order in which the
// windows are made and shown, and the ways the start ends the program. The
// toolkits' own tests check only that their windows are wired to it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <functional>

#include "agreement/LicenseAgreement.h"
#include "app/Desktop.h"
#include "base/Logging.h"
#include "base/System.h"
#include "devices/DeviceTable.h"
#include "support/TestSupport.h"

namespace quarnel::test {
namespace {

std::vector<std::string> events;

struct TFakeMain : TMainWindowView {
  void ShowFormatPage(const TFormatPage&) override {}
  void FocusStopButton() override {}
  void SetTitle(const std::string& title) override { events.push_back("main title " + title); }
  void ShowDiskName(const std::string&) override { events.push_back("disk name"); }
  void ShowStatusDescription(const std::string&) override { events.push_back("status"); }
  void ShowHealthVerdict(const std::string& verdict) override {
    events.push_back("health " + verdict);
  }
  void ScrollReportTo(const TLogPane& pane, int line) override {
    events.push_back((&pane == &Log_Smart ? "smart at " : "details at ") + std::to_string(line));
  }
  void Show() override { events.push_back("main shown"); }
  void Close() override { events.push_back("main closed"); }
};

// Acts as the user would: takes row `Choice` or, with -1, closes the window.
struct TFakeChooser : TChooserView {
  void SetTitles(const std::string& caption, const std::string& header) override {
    events.push_back("chooser titles " + caption + "|" + header);
  }
  void ShowRows(const std::vector<TDriveListRow>& rows, const std::string&) override {
    events.push_back("chooser rows " + std::to_string(rows.size()));
  }
  void ShowModal() override {
    events.push_back("chooser modal");
    closed = false;
    ChooserFormShow(*this);
    if (BeforeChoice) BeforeChoice();
    if (Choice == kStation) btStationClick(*this);
    if (Choice >= 0) btContinueClick(*this, Choice);
    if (!closed) CloseChooser();
  }
  void FocusList() override {}
  void SelectRow(int64_t) override {}
  void EnableContinue(bool) override {}
  void CloseChooser() override {
    closed = true;
    ChooserClosed();
  }
  static constexpr int64_t kStation = -2;  // the station button
  int64_t Choice = 0;
  std::function<void()> BeforeChoice;
  bool closed = false;
};

struct TFakeAgreement : TAgreementView {
  explicit TFakeAgreement(bool agree) : agree_(agree) {}
  void ShowModal() override {
    events.push_back("agreement shown");
    if (agree_) AcceptAgreement();
    AgreementWindowClosed();
  }
  bool agree_;
};

struct TFakeDebug : TDebugWindowView {
  void Show() override { events.push_back("debug shown"); }
  void ShowModal() override { events.push_back("debug modal"); }
};

struct TFakeSeam : TUiSeam {
  void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon) override {
    events.push_back("message " + caption + "|" + text);
  }
};

struct TFakeWindows : TWindowFactory {
  TUiSeam& Seam() override { return seam; }
  std::unique_ptr<TMainWindowView> CreateMainWindow() override {
    events.push_back("create main");
    auto window = std::make_unique<TFakeMain>();
    Main = window.get();
    return window;
  }
  std::unique_ptr<TChooserView> CreateChooser() override {
    events.push_back("create chooser");
    auto window = std::make_unique<TFakeChooser>();
    Chooser = window.get();
    return window;
  }
  std::unique_ptr<TAgreementView> CreateAgreement() override {
    events.push_back("create agreement");
    return std::make_unique<TFakeAgreement>(Agree);
  }
  std::unique_ptr<TDebugWindowView> CreateDebugWindow() override {
    events.push_back("create debug");
    return std::make_unique<TFakeDebug>();
  }
  void RunUntilClosed() override { events.push_back("message loop"); }
  int RunStation() override {
    events.push_back("station");
    return 0;
  }
  void ShowStartError(const std::string&) override {}
  void ShowStartNotice(const std::string&) override {}

  TFakeSeam seam;
  TFakeMain* Main = nullptr;
  TFakeChooser* Chooser = nullptr;
  bool Agree = true;
};

class DesktopStart : public ::testing::Test {
 protected:
  // A machine of two drives and the acceptance file holding `acceptance`.
  SimHost& Start(const std::string& acceptance, int platformId = 2) {
    SimHost& host = UseSimHost(R"({"platform": {"platform_id": )" + std::to_string(platformId) +
                               R"(, "major": 6}, "drives": [)" + SimDrive(0, 1 << 21) + "," +
                               SimDrive(1, 1 << 21) + "]}");
#ifndef _WIN32
    // The acceptance file goes to a folder of the test's own.
    setenv("XDG_DATA_HOME", data_.Path().string().c_str(), 1);
#endif
    WriteTextFile(AgreementFilePath(), acceptance);
    events.clear();
    return host;
  }
  void TearDown() override {
    std::remove(AgreementFilePath().c_str());
#ifndef _WIN32
    unsetenv("XDG_DATA_HOME");
#endif
    events.clear();
  }
  TTempFolder data_{"desktop"};
  TFakeWindows windows_;
};

TEST_F(DesktopStart, WindowsAreMadeThenTheStartUpRunsInTheFirstShowInItsOrder) {
  Start("1");
  TDesktop desktop(windows_, {"--debug"}, "/opt/quarnel/quarnel");
  EXPECT_EQ(desktop.Run(), 0);
  EXPECT_EQ(events,
            (std::vector<std::string>{"create main", "create chooser", "create agreement",
                                      "create debug", "debug shown", "main title Quarnel 4.40    ",
                                      "chooser titles Quarnel 4.40|QUARNEL 4.40    ", "debug modal",
                                      "chooser rows 2", "chooser modal", "disk name", "status",
                                      "details at 0", "main shown", "message loop"}));
  EXPECT_NE(DeviceHandle, kInvalidHandle);
  EXPECT_EQ(SelectedDevice, 1);
  EXPECT_FALSE(Log_Details.Lines().empty());
  const std::vector<std::string> log = MainLogTexts();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
            (std::vector<std::string>{" * * * * *  警告 * * * * * ", "在低级格式化过程中",
                                      "所有的数据将被完全和不可逆地擦除！"}));
  // The start-up runs once; later shows only show.
  events.clear();
  EXPECT_TRUE(desktop.Show());
  EXPECT_EQ(events, std::vector<std::string>{"main shown"});
}

TEST_F(DesktopStart, EachSmartReadTurnsThePaneToItsOwnStart) {
  Start("1");
  TDesktop desktop(windows_, {}, "/opt/quarnel/quarnel");
  ASSERT_TRUE(desktop.Show());
  events.clear();
  SmartButtonClicked(*windows_.Main);
  const int firstReport = static_cast<int>(Log_Smart.Lines().size());
  SmartButtonClicked(*windows_.Main);
  // Each read also puts the drive's verdict into the status bar.
  EXPECT_EQ(events, (std::vector<std::string>{"smart at 0", "health 警告",
                                              "smart at " + std::to_string(firstReport),
                                              "health 警告"}));
  EXPECT_TRUE(Ui().ControlEnabled(TFormatControl::btGetSmart));
}

TEST_F(DesktopStart, DeclinedAgreementStillScansButShowsNoModalWindow) {
  Start("0");
  windows_.Agree = false;
  TDesktop desktop(windows_, {"--debug"}, "/opt/quarnel/quarnel");
  EXPECT_EQ(desktop.Run(), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"create main", "create chooser", "create agreement",
                                              "agreement shown", "create debug", "debug shown",
                                              "main title Quarnel 4.40    ",
                                              "chooser titles Quarnel 4.40|QUARNEL 4.40    "}));
  EXPECT_TRUE(ProgramEndRequested());
  EXPECT_EQ(DeviceCount, 2);
  EXPECT_EQ(DeviceHandle, kInvalidHandle);
  EXPECT_EQ(ReadTextFile(AgreementFilePath()), "0");
}

TEST_F(DesktopStart, ChooserClosedWithoutAChoiceEndsTheProgram) {
  SimHost& host = Start("1");
  TDesktop desktop(windows_, {}, "/opt/quarnel/quarnel");
  windows_.Chooser->Choice = -1;
  EXPECT_EQ(desktop.Run(), 0);
  EXPECT_EQ(events.back(), "chooser modal");
  EXPECT_TRUE(ProgramEndRequested());
  EXPECT_EQ(host.OpenHandleCount(), 0u);
}

TEST_F(DesktopStart, ChoosersStationButtonOpensTheStationInsteadOfTheMainWindow) {
  Start("1");
  TDesktop desktop(windows_, {}, "/opt/quarnel/quarnel");
  windows_.Chooser->Choice = TFakeChooser::kStation;
  EXPECT_EQ(desktop.Run(), 0);
  EXPECT_EQ(std::vector<std::string>(events.end() - 2, events.end()),
            (std::vector<std::string>{"chooser modal", "station"}));
  EXPECT_FALSE(ProgramEndRequested());
  EXPECT_EQ(DeviceHandle, kInvalidHandle);
}

TEST_F(DesktopStart, StationOptionSkipsTheChooser) {
  Start("1");
  TDesktop desktop(windows_, {}, "/opt/quarnel/quarnel", true);
  EXPECT_EQ(desktop.Run(), 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), "chooser modal"), 0);
  EXPECT_EQ(events.back(), "station");
  EXPECT_EQ(DeviceCount, 2);
}

TEST_F(DesktopStart, DriveThatCannotBeOpenedEndsWithTheFatalError) {
  SimHost& host = Start("1");
  TDesktop desktop(windows_, {}, "/opt/quarnel/quarnel");
  // The scan opened it for reading; the open for writing is refused, as for
  // a drive in use.
  windows_.Chooser->BeforeChoice = [&] { host.Drive(0)->Refusals["open"] = 5; };
  EXPECT_EQ(desktop.Run(), 1);
  EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
            (std::vector<std::string>{"chooser modal", "disk name",
                                      "message 错误|打开设备错误: " + SystemErrorText(5)}));
  EXPECT_EQ(DeviceHandle, kInvalidHandle);
  EXPECT_TRUE(Log_Details.Lines().empty());
}

TEST_F(DesktopStart, HostOutsideTheNtFamilyEndsBeforeTheScan) {
  Start("1", 1);
  TDesktop desktop(windows_, {}, "/opt/quarnel/quarnel");
  EXPECT_EQ(desktop.Run(), 1);
  EXPECT_EQ(events.back(),
            "message Error|Only the following versions of Windows are supported: 2003, 2008, XP, "
            "Vista, 7");
  EXPECT_EQ(DeviceCount, 0);
}

}  // namespace
}  // namespace quarnel::test
