// The drive chooser: the scanned drives in a list, the last one selected;
// the chosen one's table index goes to SelectedDevice. Closing it without a
// choice ends the program.
#pragma once

#include <QDialog>

#include "devices/DriveChoose.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace quarnel {

class TLinkLabel;

class TFmChoose : public QDialog, public TChooserView {
  Q_OBJECT

 public:
  explicit TFmChoose(QWidget* parent = nullptr);

  // TChooserView
  void SetTitles(const std::string& caption, const std::string& header) override;
  void ShowRows(const std::vector<TDriveListRow>& rows, const std::string& status) override;
  void ShowModal() override { exec(); }
  void FocusList() override;
  void SelectRow(int64_t row) override;
  void EnableContinue(bool enabled) override;
  void CloseChooser() override;

  QLabel* lbProgramName = nullptr;
  TLinkLabel* Label1 = nullptr;
  QTreeWidget* DriveList = nullptr;
  QLabel* lbCopyright = nullptr;
  TLinkLabel* lbDiskManagement = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* btContinue = nullptr;
  QPushButton* btStation = nullptr;
  QLabel* StatusPanel = nullptr;

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int64_t SelectedRow() const;
  void lbDiskManagementClick();
  void Label1Click();
};

}  // namespace quarnel
