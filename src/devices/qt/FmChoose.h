// The drive chooser: the scanned drives in a list, the last one selected;
// the chosen one's table index goes to SelectedDevice. Closing it without a
// choice ends the program.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QStatusBar;
class QTreeWidget;

namespace quarnel {

class TLinkLabel;

class TFmChoose : public QDialog {
  Q_OBJECT

 public:
  explicit TFmChoose(QWidget* parent = nullptr);

  /// Fills the list from the device table, shows the dialog modally and
  /// returns whether a drive was chosen.
  bool ChooseDevice();

  QLabel* lbProgramName = nullptr;
  TLinkLabel* Label1 = nullptr;
  QTreeWidget* DriveList = nullptr;
  QLabel* lbCopyright = nullptr;
  TLinkLabel* lbDiskManagement = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* btContinue = nullptr;
  QLabel* StatusPanel = nullptr;

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FillDriveList();
  void DriveListClick();
  void DriveListDblClick();
  void btContinueClick();
  void lbDiskManagementClick();
  void Label1Click();
};

}  // namespace quarnel
