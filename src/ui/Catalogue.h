// The windows' texts, sizes, colours, fonts and rules, written once for every
// toolkit. A toolkit's window files draw what is given here and add no text,
// size or rule of their own.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "ui/UiSeam.h"

namespace quarnel {

// ---- Colours, as 0x00BBGGRR.

inline constexpr uint32_t kBgrBlue = 0xFF0000;
inline constexpr uint32_t kBgrRed = 0x0000FF;
inline constexpr uint32_t kBgrGrey = 0x808080;
inline constexpr uint32_t kBgrWhite = 0xFFFFFF;
/// The progress bar of a stopped or finished run, where the toolkit's bar
/// has no paused look of its own.
inline constexpr uint32_t kBgrPausedBar = 0x00B8E8;

/// A label that acts as a link: its colour at rest, under the pointer and
/// while the left button is held on it.
struct TLinkColours {
  uint32_t Rest;
  uint32_t Hover;
  uint32_t Pressed;
};

// ---- Sizes in pixels.

struct TSize {
  int Width;
  int Height;
};

struct TRect {
  int Left;
  int Top;
  int Width;
  int Height;
};

// ---- Fonts.

/// A font as a window asks for it: the window's own font (the icon-title
/// font, then Calibri where the host has it) changed as given, or a face by
/// name when `Face` is set.
struct TFontChoice {
  const char* Face = nullptr;
  int Points = 0;      // 0: the size of the window's font
  int MorePoints = 0;  // added to the window font's size
  bool Bold = false;
  bool Underline = false;
  bool FixedPitch = false;  // a fixed-pitch face stands in where `Face` is missing
};

/// On the newer host generation a window's font takes this face, this many
/// points larger, where the face is installed and not already the window's.
inline constexpr const char* kCalibriFace = "Calibri";
inline constexpr int kCalibriMorePoints = 2;

// ---- The main window.

namespace mainwindow {
inline constexpr TSize kClient = {768, 499};
/// The smallest window (outer size).
inline constexpr TSize kMinimum = {750, 450};
/// The white strip on top holding the drive's name.
inline constexpr int kHeaderHeight = 32;
inline constexpr TFontChoice kDiskNameFont = {.Bold = true};

inline constexpr int kPageCount = 3;
inline constexpr std::array<const char*, kPageCount> kPageCaptions = {"设备详细信息", "低级格式化",
                                                                      "S.M.A.R.T."};
inline constexpr int kDetailsPage = 0;
inline constexpr int kFormatPage = 1;
inline constexpr int kSmartPage = 2;

inline constexpr const char* kProgressBoxCaption = "当前任务进度";
inline constexpr const char* kQuickWipeCaption = "执行快速擦除（仅删除分区和 MBR）";
inline constexpr const char* kVerifyCaption = "擦除后校验";
inline constexpr const char* kFirmwareCaption = "驱动器自身擦除";
inline constexpr const char* kStopCaption = "停止";
/// The button that makes the certificate of the run just ended.
inline constexpr const char* kCertificateCaption = "生成擦除证书";
inline constexpr const char* kFormatCaption = "格式化此设备";
inline constexpr const char* kGetSmartCaption = "获取 SMART 数据(&G)";
/// The three labels under the progress bar.
inline constexpr TFontChoice kProgressLabelFont = {.Points = 16};
inline constexpr int kButtonHeight = 30;
inline constexpr int kFormatButtonWidth = 120;
inline constexpr int kSmartButtonWidth = 160;

/// The self-test row beside the SMART button: the kinds, the button that
/// starts a test and stops it while it runs, and the line beside it.
inline constexpr std::array<const char*, 3> kSelfTestKindCaptions = {"短测试", "扩展测试",
                                                                     "传输测试"};
inline constexpr int kSelfTestKindWidth = 100;
inline constexpr int kSelfTestBarWidth = 120;
inline constexpr int kSelfTestButtonWidth = 120;
inline constexpr const char* kSelfTestCaption = "开始自检(&T)";
inline constexpr const char* kSelfTestAbortCaption = "中止自检(&T)";
inline constexpr const char* kSelfTestStartedText = "已开始";
inline constexpr const char* kSelfTestLeftText = "剩余 ";     // then the percent
inline constexpr const char* kSelfTestElapsedText = "已用 ";  // then the time waited
inline constexpr const char* kSelfTestAbortingText = "正在中止自检...";
inline constexpr const char* kSelfTestEndedText = "自检结束: ";  // then the log entry
inline constexpr const char* kSelfTestNoResultText = "自检已结束，但驱动器未给出结果。";
inline constexpr const char* kSelfTestStatusOnlyText = "无法读取自检日志，驱动器报告的状态: ";
inline constexpr const char* kSelfTestNoAnswerText = "驱动器不再应答，无法得知自检是否结束。";
inline constexpr const char* kSelfTestNotFollowedText = "已停止等待，自检仍在驱动器中进行。";
inline constexpr const char* kSelfTestNoneOfferedText = "此驱动器不提供自检。";
inline constexpr const char* kSelfTestNoSmartText =
    "驱动器未提供 SMART 数据（可能已关闭 S.M.A.R.T.），未开始自检。";
inline constexpr const char* kSelfTestKindNotOfferedText = "此驱动器不提供所选的自检: ";
inline constexpr const char* kSelfTestAlreadyRunningText =
    "驱动器中已有自检在进行，下面跟随它的进度。";
inline constexpr const char* kSelfTestRefusedText = "自检命令被拒绝: ";

/// The report panes (details, S.M.A.R.T.): their columns are laid out with
/// blanks.
inline constexpr TFontChoice kReportPaneFont = {
    .Face = "Courier New", .Points = 9, .FixedPitch = true};

/// The maker's line under the pages: small, grey and bold.
inline constexpr TFontChoice kMakerLineFont = {.MorePoints = -1, .Bold = true};
inline constexpr TLinkColours kMakerLineColours = {kBgrGrey, kBgrBlue, kBgrRed};
/// A line about the maker, then the maker's web address.
std::string MakerLineText();

/// The status bar's panels: the title, the drive, an empty one (right
/// aligned). The middle one gives way when the window is narrower.
inline constexpr std::array<int, 3> kStatusPanelWidths = {450, 450, 50};

/// The button that Enter presses on a page; none on the details page.
std::optional<TFormatControl> DefaultButton(int page);
/// What Enter presses now on `page`: its default button while enabled.
std::optional<TFormatControl> EnterPresses(int page);
}  // namespace mainwindow

// ---- The form before a desktop erase: who, for whom, where, which asset.

namespace contextform {
inline constexpr const char* kTitle = "擦除记录信息";
inline constexpr const char* kText = "以下信息将写入擦除记录和擦除证书，均可留空。";
inline constexpr const char* kOperatorLabel = "操作人员:";
inline constexpr const char* kOrganisationLabel = "所属单位:";
inline constexpr const char* kLocationLabel = "地点:";
inline constexpr const char* kAssetTagLabel = "资产编号:";
inline constexpr const char* kOkCaption = "继续";
inline constexpr const char* kCancelCaption = "取消";
inline constexpr int kMaxLength = 200;
inline constexpr int kFieldWidth = 300;
}  // namespace contextform

// ---- The drive chooser.

namespace chooser {
inline constexpr TSize kClient = {881, 368};
inline constexpr int kHeaderHeight = 44;
inline constexpr int kSeparatorHeight = 2;
inline constexpr int kBottomHeight = 69;
inline constexpr TFontChoice kProgramNameFont = {.Points = 14, .Bold = true};

inline constexpr int kColumns = 6;
inline constexpr std::array<const char*, kColumns> kColumnCaptions = {"总线",   "型号", "固件",
                                                                      "序列号", "LBA",  "容量"};
/// The last column fills what the others leave.
inline constexpr std::array<int, kColumns - 1> kColumnWidths = {78, 220, 90, 160, 117};

/// The maker's web address at the header's right.
inline constexpr TLinkColours kMakerLinkColours = {kBgrBlue, kBgrBlue, kBgrRed};
inline constexpr const char* kCreditText = "Quarnel © Zelmora，免费软件";
inline constexpr uint32_t kCreditColour = kBgrGrey;
inline constexpr const char* kDiskManagementCaption = "打开磁盘管理控制台";
inline constexpr TLinkColours kDiskManagementColours = {kBgrBlue, kBgrBlue, kBgrBlue};
inline constexpr TFontChoice kDiskManagementFont = {.Underline = true};
/// Where the system has no disk management console and no stand-in for it.
inline constexpr const char* kDiskToolMissingText =
    "未找到磁盘管理工具（gnome-disks 或 KDE 分区管理器）。";
inline constexpr const char* kHintText = "请选择一个设备";
inline constexpr const char* kContinueCaption = "继续 >>>";
inline constexpr int kContinueWidth = 120;
inline constexpr int kButtonHeight = 30;
}  // namespace chooser

// ---- The erase station: many drives at once.

namespace station {
inline constexpr const char* kTitle = "擦除工作站";
inline constexpr TSize kClient = {1180, 560};
inline constexpr TSize kMinimum = {900, 400};
/// The chooser's button that opens the station instead of the main window.
inline constexpr const char* kChooserButtonCaption = "擦除工作站...";
inline constexpr int kChooserButtonWidth = 120;

inline constexpr int kColumns = 14;
inline constexpr std::array<const char*, kColumns> kColumnCaptions = {
    "编号", "型号", "序列号", "容量", "总线", "路径", "卷",
    "健康", "状态", "进度", "速度", "剩余时间", "结果", "记录"};
/// The last column fills what the others leave.
inline constexpr std::array<int, kColumns - 1> kColumnWidths = {50, 170, 120, 80, 60, 110, 80,
                                                                60, 70, 60, 80, 70, 90};
/// The states, in the order of TStationState: idle, waiting, running, done,
/// gone; a run in its read-back or sample check shows kCheckingText.
inline constexpr std::array<const char*, 5> kStateTexts = {"空闲", "等待中", "擦除中", "已结束",
                                                           "已移除"};
inline constexpr const char* kCheckingText = "校验中";
/// The outcomes, in the order of TRowOutcome.
inline constexpr std::array<const char*, 9> kOutcomeTexts = {
    "完成", "失败", "已取消", "已中止", "无法锁定", "设备已更换", "被拒绝", "进程崩溃", "未开始"};
inline constexpr const char* kVisibleOnlyText = "仅可见扇区";
inline constexpr const char* kDoNotReuseText = "（不应再使用）";

/// The mode of the ticked drives, then the read-back box
/// (mainwindow::kVerifyCaption) and the method of the drive's own erase.
inline constexpr std::array<const char*, 3> kModeCaptions = {"完整擦除（全部写零）", "快速擦除",
                                                             "驱动器自身擦除"};
inline constexpr std::array<const char*, 6> kMethodChoices = {
    "auto", "block", "crypto", "format-user", "format-crypto", "overwrite"};
inline constexpr const char* kStartCaption = "擦除勾选的设备";
inline constexpr const char* kStopCaption = "停止所选";
inline constexpr const char* kStopAllCaption = "全部停止";
inline constexpr const char* kCertificateCaption = "打开擦除证书";
inline constexpr int kButtonHeight = 30;
inline constexpr int kButtonWidth = 130;
/// The status bar: the drives found, then those running and finished.
inline constexpr const char* kDrivesText = "磁盘: ";
inline constexpr const char* kRunningText = "  正在擦除: ";
inline constexpr const char* kFinishedText = "  已结束: ";
inline constexpr const char* kNoCertificateText = "此设备没有擦除记录。";
/// How often the window asks the station for news, in milliseconds.
inline constexpr int kPollMs = 200;
}  // namespace station

// ---- The agreement window.

namespace agreement {
inline constexpr const char* kCaption = "许可协议";
inline constexpr TSize kClient = {612, 383};
/// The agreement's and the debug window's font.
inline constexpr TFontChoice kFont = {.Face = "Tahoma", .Points = 8};
inline constexpr TRect kMemo = {8, 8, 595, 313};
inline constexpr const char* kAgreeCaption = "同意";
inline constexpr TRect kAgreeButton = {393, 336, 75, 25};
inline constexpr const char* kDisagreeCaption = "不同意";
inline constexpr TRect kDisagreeButton = {497, 336, 75, 25};
}  // namespace agreement

// ---- The debug window.

namespace debugwindow {
inline constexpr const char* kCaption = "调试";
inline constexpr TSize kClient = {635, 337};
inline constexpr TFontChoice kFont = agreement::kFont;
}  // namespace debugwindow

// ---- Messages of the start, before any window.

/// The caption of an error box.
inline constexpr const char* kErrorCaption = "错误";

}  // namespace quarnel
