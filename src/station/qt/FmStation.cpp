#include "station/qt/FmStation.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/Catalogue.h"
#include "ui/qt/QtUi.h"

namespace quarnel {

using namespace station;

TFmStation::TFmStation(TUiSeam& ui, TStationSetup setup, QWidget* parent) : QWidget(parent) {
  setObjectName("FmStation");
  setAttribute(Qt::WA_DeleteOnClose, false);
  station_ = std::make_unique<TStation>(*this, ui, std::move(setup));

  DriveTable = new QTreeWidget(this);
  DriveTable->setObjectName("DriveTable");
  DriveTable->setRootIsDecorated(false);
  DriveTable->setItemsExpandable(false);
  DriveTable->setUniformRowHeights(true);
  DriveTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
  DriveTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  DriveTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DriveTable->setAllColumnsShowFocus(true);
  QStringList captions;
  for (const char* c : kColumnCaptions) captions << QString::fromUtf8(c);
  DriveTable->setHeaderLabels(captions);
  for (size_t i = 0; i < kColumnWidths.size(); ++i) {
    DriveTable->setColumnWidth(static_cast<int>(i), kColumnWidths[i]);
  }
  DriveTable->header()->setStretchLastSection(true);
  connect(DriveTable, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (drawing_ || column != 0) return;
    station_->Tick(static_cast<size_t>(DriveTable->indexOfTopLevelItem(item)),
                   item->checkState(0) == Qt::Checked);
  });
  connect(DriveTable, &QTreeWidget::itemSelectionChanged, this, [this] {
    const std::vector<size_t> rows = SelectedRows();
    btCertificate->setEnabled(rows.size() == 1 &&
                              !station_->Rows()[rows.front()].Drive.RecordFile.empty());
  });
  connect(DriveTable, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
    const size_t row = static_cast<size_t>(DriveTable->indexOfTopLevelItem(item));
    if (!station_->Rows()[row].Drive.RecordFile.empty()) station_->OpenCertificate(row);
  });

  auto* modes = new QWidget(this);
  auto* modesLayout = new QHBoxLayout(modes);
  modesLayout->setContentsMargins(12, 6, 12, 6);
  auto* group = new QButtonGroup(this);
  for (size_t i = 0; i < rbMode.size(); ++i) {
    rbMode[i] = new QRadioButton(QString::fromUtf8(kModeCaptions[i]), modes);
    rbMode[i]->setObjectName(QString("rbMode%1").arg(i));
    group->addButton(rbMode[i]);
    modesLayout->addWidget(rbMode[i]);
    connect(rbMode[i], &QRadioButton::toggled, this, [this] { ModeChanged(); });
  }
  cbMethod = new QComboBox(modes);
  cbMethod->setObjectName("cbMethod");
  for (const char* m : kMethodChoices) cbMethod->addItem(QString::fromUtf8(m));
  modesLayout->addWidget(cbMethod);
  connect(cbMethod, &QComboBox::currentIndexChanged, this, [this] { ModeChanged(); });
  modesLayout->addSpacing(24);
  cbVerify = new QCheckBox(QString::fromUtf8(mainwindow::kVerifyCaption), modes);
  cbVerify->setObjectName("cbVerify");
  cbVerify->setChecked(true);
  connect(cbVerify, &QCheckBox::toggled, this, [this] { ModeChanged(); });
  modesLayout->addWidget(cbVerify);
  modesLayout->addStretch(1);
  rbMode[0]->setChecked(true);

  auto* buttons = new QWidget(this);
  auto* buttonsLayout = new QHBoxLayout(buttons);
  buttonsLayout->setContentsMargins(12, 0, 12, 6);
  auto button = [&](const char* caption, const char* name) {
    auto* b = new QPushButton(QString::fromUtf8(caption), buttons);
    b->setObjectName(name);
    b->setMinimumSize(kButtonWidth, kButtonHeight);
    return b;
  };
  btStart = button(kStartCaption, "btStart");
  btStop = button(kStopCaption, "btStop");
  btStopAll = button(kStopAllCaption, "btStopAll");
  btCertificate = button(kCertificateCaption, "btCertificate");
  btStart->setEnabled(false);
  btStop->setEnabled(false);
  btStopAll->setEnabled(false);
  btCertificate->setEnabled(false);
  buttonsLayout->addWidget(btStart);
  buttonsLayout->addWidget(btStop);
  buttonsLayout->addWidget(btStopAll);
  buttonsLayout->addStretch(1);
  buttonsLayout->addWidget(btCertificate);
  connect(btStart, &QPushButton::clicked, this, [this] { station_->StartTicked(); });
  connect(btStop, &QPushButton::clicked, this, [this] {
    const std::vector<size_t> rows = SelectedRows();
    if (!rows.empty()) station_->Stop(rows);
  });
  connect(btStopAll, &QPushButton::clicked, this, [this] { station_->Stop({}); });
  connect(btCertificate, &QPushButton::clicked, this, [this] {
    const std::vector<size_t> rows = SelectedRows();
    if (rows.size() == 1) station_->OpenCertificate(rows.front());
  });

  auto* status = new QStatusBar(this);
  status->setSizeGripEnabled(false);
  StatusPanel = new QLabel(status);
  StatusPanel->setObjectName("StatusPanel");
  status->addWidget(StatusPanel, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(DriveTable, 1);
  layout->addWidget(modes);
  layout->addWidget(buttons);
  layout->addWidget(status);
  resize(kClient.Width, kClient.Height);
  setMinimumSize(kMinimum.Width, kMinimum.Height);

  PollTimer = new QTimer(this);
  PollTimer->setInterval(kPollMs);
  connect(PollTimer, &QTimer::timeout, this, [this] {
    station_->Poll();
    if (closeWhenDone_ && !station_->Busy()) close();
  });
}

TFmStation::~TFmStation() = default;

void TFmStation::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (started_) return;
  started_ = true;
  station_->Start();
  PollTimer->start();
}

void TFmStation::closeEvent(QCloseEvent* event) {
  // Runs going: each is asked to stop and ends with its record; the window
  // closes once the last has ended.
  if (station_->Busy()) {
    closeWhenDone_ = true;
    station_->Stop({});
    event->ignore();
    return;
  }
  PollTimer->stop();
  QWidget::closeEvent(event);
  emit closed();
}

void TFmStation::ModeChanged() {
  TStationMode mode;
  for (size_t i = 0; i < rbMode.size(); ++i) {
    if (rbMode[i] && rbMode[i]->isChecked()) mode.Kind = static_cast<TStationMode::TKind>(i);
  }
  if (cbMethod) mode.Method = cbMethod->currentText().toStdString();
  if (cbVerify) mode.Verify = cbVerify->isChecked();
  const bool firmware = mode.Kind == TStationMode::TKind::Firmware;
  if (cbMethod) cbMethod->setEnabled(firmware);
  if (cbVerify) cbVerify->setEnabled(!firmware);
  station_->SetMode(mode);
}

std::vector<size_t> TFmStation::SelectedRows() const {
  std::vector<size_t> rows;
  for (QTreeWidgetItem* item : DriveTable->selectedItems()) {
    rows.push_back(static_cast<size_t>(DriveTable->indexOfTopLevelItem(item)));
  }
  return rows;
}

void TFmStation::SetTitle(const std::string& title) { setWindowTitle(ToQt(title)); }

void TFmStation::ShowRows(const std::vector<TStationRow>& rows) {
  drawing_ = true;
  while (DriveTable->topLevelItemCount() < static_cast<int>(rows.size())) {
    DriveTable->addTopLevelItem(new QTreeWidgetItem());
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    const TStationRow& row = rows[i];
    QTreeWidgetItem* item = DriveTable->topLevelItem(static_cast<int>(i));
    const auto cells = row.Cells();
    for (size_t c = 0; c < cells.size(); ++c) {
      const QString text = ToQt(cells[c]);
      if (item->text(static_cast<int>(c)) != text) item->setText(static_cast<int>(c), text);
    }
    const bool tickable = row.Present && (row.State == TStationState::Idle ||
                                          row.State == TStationState::Done);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (tickable) flags |= Qt::ItemIsUserCheckable;
    if (item->flags() != flags) item->setFlags(flags);
    const Qt::CheckState check = row.Ticked ? Qt::Checked : Qt::Unchecked;
    if (item->data(0, Qt::CheckStateRole).isNull() || item->checkState(0) != check) {
      item->setCheckState(0, check);
    }
  }
  drawing_ = false;
}

void TFmStation::ShowStatus(const std::string& text) { StatusPanel->setText(ToQt(text)); }

void TFmStation::EnableButtons(bool start, bool stop) {
  btStart->setEnabled(start);
  btStop->setEnabled(stop);
  btStopAll->setEnabled(stop);
}

void TFmStation::OpenPage(const std::string& path) {
  OpenWebAddress(QUrl::fromLocalFile(QString::fromStdString(path)).toString().toStdString());
}

}  // namespace quarnel
