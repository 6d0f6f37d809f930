// The main window: the drive's name, the three pages (details, low-level
// format, S.M.A.R.T.), the maker's line and the status bar. The whole
// start-up runs inside its first show; closing it ends the program.
#pragma once

#include <QMainWindow>
#include <string>

#include "app/Desktop.h"
#include "ui/qt/QtUi.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace quarnel {

class TElidedLabel;
class TLinkLabel;

class TFmMain : public QMainWindow, public TMainWindowView {
  Q_OBJECT

 public:
  explicit TFmMain(QWidget* parent = nullptr);

  // TMainWindowView
  void ShowFormatPage(const TFormatPage& page) override;
  void ShowFirmwareChoice(const TFormatPage& page);
  void FocusStopButton() override;
  void SetTitle(const std::string& title) override;
  void ShowDiskName(const std::string& description) override;
  void ShowStatusDescription(const std::string& description) override;
  void ShowHealthVerdict(const std::string& verdict) override;
  void ShowSelfTestRow(const TSelfTestRow& row) override;
  void ScrollReportTo(const TLogPane& pane, int line) override;
  void Show() override { show(); }
  void Close() override { close(); }

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
  QCheckBox* cbVerify = nullptr;          // read back after the run
  QCheckBox* cbFirmware = nullptr;        // the drive's own erase instead of the zero fill
  QComboBox* cbFirmwareMethod = nullptr;  // its method
  QPushButton* btStop = nullptr;
  QPushButton* btRunBenchmarks = nullptr;
  QPushButton* btCertificate = nullptr;  // the certificate of the run just ended
  QPlainTextEdit* Log_Smart = nullptr;
  QPushButton* btGetSmart = nullptr;
  QLabel* lbSelfTest = nullptr;  // the self-test row beside it
  QProgressBar* pbSelfTest = nullptr;
  QComboBox* cbSelfTestKind = nullptr;
  QPushButton* btSelfTest = nullptr;
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
  QPushButton* Button(TFormatControl control) const;
  void lbCopyrightClick();
  void btCertificateClick();

  TSelfTestRow selfTestRow_ = IdleSelfTestRow();
};

}  // namespace quarnel
