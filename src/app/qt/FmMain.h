// The main window: the drive's name, the three pages (details, low-level
// format, S.M.A.R.T.), the maker's line and the status bar. The whole
// start-up runs inside its first show; closing it ends the program.
#pragma once

#include <QMainWindow>
#include <string>
#include <vector>

#include "app/MainStartUp.h"
#include "ui/qt/QtUi.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace quarnel {

class TFmChoose;
class TFmDebug;
class TElidedLabel;
class TLinkLabel;

class TFmMain : public QMainWindow, public TFormatPageView, private TStartUpWindows {
  Q_OBJECT

 public:
  /// `arguments` without the program file; the first may be "--debug".
  TFmMain(std::vector<std::string> arguments, std::string programFile, QWidget* parent = nullptr);

  /// The windows created after this one, which the first show uses.
  void SetWindows(TFmChoose* choose, TFmDebug* debug);

  void setVisible(bool visible) override;

  // TFormatPageView
  void ShowFormatPage(const TFormatPage& page) override;
  void FocusStopButton() override;

  QLabel* lbDiskName = nullptr;
  QTabWidget* pages = nullptr;
  QPlainTextEdit* Log_Details = nullptr;
  QPlainTextEdit* Log_BenchMark = nullptr;
  QGroupBox* gbProgress = nullptr;
  QProgressBar* pbCurrentTask = nullptr;
  QLabel* lbCurrentPercent = nullptr;
  QLabel* lbSpeed = nullptr;
  QLabel* lbCurrentPosition = nullptr;
  QCheckBox* cbQuickWipe = nullptr;
  QCheckBox* cbVerify = nullptr;  // read back after the run
  QPushButton* btStop = nullptr;
  QPushButton* btRunBenchmarks = nullptr;
  QPlainTextEdit* Log_Smart = nullptr;
  QPushButton* btGetSmart = nullptr;
  TLinkLabel* lbCopyright = nullptr;
  TElidedLabel* StatusPanels[3] = {nullptr, nullptr, nullptr};

 signals:
  /// The window has closed for good: the program ends.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QWidget* BuildFormatPage();
  QWidget* BuildSmartPage();
  void BuildStatusBar();
  bool FormShow();

  void btRunBenchmarksClick();
  void btStopClick();
  void btGetSmartClick();
  void lbCopyrightClick();

  // TStartUpWindows
  void ShowDebugWindow() override;
  void SetTitles(const std::string& mainTitle, const std::string& chooserCaption,
                 const std::string& chooserHeader) override;
  void ShowDebugWindowModal() override;
  bool ChooseDevice() override;
  void ShowDiskName(const std::string& description) override;
  void ShowStatusDescription(const std::string& description) override;

  std::vector<std::string> arguments_;
  std::string program_file_;
  TFmChoose* choose_ = nullptr;
  TFmDebug* debug_ = nullptr;
  bool shown_once_ = false;
};

}  // namespace quarnel
