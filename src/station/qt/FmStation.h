// The erase station's window on Qt: the table with a box to tick on each
// drive, the mode and read-back for the ticked ones, start, stop and the
// certificate, and a timer that lets the station hear its runs.
#pragma once

#include <QWidget>
#include <memory>

#include "station/Station.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeWidget;

namespace quarnel {

class TFmStation : public QWidget, public TStationView {
  Q_OBJECT

 public:
  TFmStation(TUiSeam& ui, TStationSetup setup, QWidget* parent = nullptr);
  ~TFmStation() override;

  // TStationView
  void SetTitle(const std::string& title) override;
  void ShowRows(const std::vector<TStationRow>& rows) override;
  void ShowStatus(const std::string& text) override;
  void EnableButtons(bool start, bool stop) override;
  void OpenPage(const std::string& path) override;

  TStation& Station() { return *station_; }

  QTreeWidget* DriveTable = nullptr;
  std::array<QRadioButton*, 3> rbMode{};
  QComboBox* cbMethod = nullptr;
  QCheckBox* cbVerify = nullptr;
  QPushButton* btStart = nullptr;
  QPushButton* btStop = nullptr;
  QPushButton* btStopAll = nullptr;
  QPushButton* btCertificate = nullptr;
  QLabel* StatusPanel = nullptr;
  QTimer* PollTimer = nullptr;

 signals:
  void closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ModeChanged();
  std::vector<size_t> SelectedRows() const;

  std::unique_ptr<TStation> station_;
  bool drawing_ = false;  // the table is being filled: its changes are no clicks
  bool started_ = false;
  bool closeWhenDone_ = false;
};

}  // namespace quarnel
