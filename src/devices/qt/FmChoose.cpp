#include "devices/qt/FmChoose.h"

#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/StartUp.h"
#include "devices/DeviceScan.h"
#include "devices/DeviceTable.h"
#include "devices/DriveChoose.h"
#include "ui/UiSeam.h"
#include "ui/qt/LinkLabel.h"
#include "ui/qt/QtUi.h"
#include "ui/qt/VistaFuncs.h"

namespace quarnel {

namespace {

const int kColumnWidths[kDriveListColumns - 1] = {78, 220, 90, 160, 117};

QWidget* HeaderBand(QWidget* parent, QLabel* left, QLabel* right) {
  auto* band = new QWidget(parent);
  band->setFixedHeight(44);
  band->setAutoFillBackground(true);
  QPalette palette = band->palette();
  palette.setColor(QPalette::Window, Qt::white);
  band->setPalette(palette);
  auto* layout = new QHBoxLayout(band);
  layout->setContentsMargins(12, 0, 12, 0);
  layout->addWidget(left);
  layout->addStretch(1);
  layout->addWidget(right);
  return band;
}

}  // namespace

TFmChoose::TFmChoose(QWidget* parent) : QDialog(parent) {
  setObjectName("FmChoose");
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  SetIconTitleFont(this);
  UseCalibriFont(this);

  lbProgramName = new QLabel(this);
  lbProgramName->setObjectName("lbProgramName");
  QFont headerFont = font();
  headerFont.setBold(true);
  headerFont.setPointSizeF(font().pointSizeF() > 0 ? font().pointSizeF() + 4 : 14);
  lbProgramName->setFont(headerFont);
  Label1 = new TLinkLabel(QString::fromUtf8(kMakerUrl), this);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  SetTextColor(Label1, kBgrBlue);
  connect(Label1, &TLinkLabel::clicked, this, &TFmChoose::Label1Click);
  connect(Label1, &TLinkLabel::leftPressed, this, [this] { SetTextColor(Label1, kBgrRed); });
  connect(Label1, &TLinkLabel::leftReleased, this, [this] { SetTextColor(Label1, kBgrBlue); });

  auto* separator = new QFrame(this);
  separator->setFrameShape(QFrame::HLine);
  separator->setFrameShadow(QFrame::Sunken);
  separator->setFixedHeight(2);

  DriveList = new QTreeWidget(this);
  DriveList->setObjectName("DriveList");
  DriveList->setRootIsDecorated(false);
  DriveList->setItemsExpandable(false);
  DriveList->setUniformRowHeights(true);
  DriveList->setSelectionMode(QAbstractItemView::SingleSelection);
  DriveList->setSelectionBehavior(QAbstractItemView::SelectRows);
  DriveList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  DriveList->setAllColumnsShowFocus(true);
  QStringList captions;
  for (const char* c : kDriveListCaptions) captions << QString::fromUtf8(c);
  DriveList->setHeaderLabels(captions);
  for (int i = 0; i < kDriveListColumns - 1; ++i) DriveList->setColumnWidth(i, kColumnWidths[i]);
  DriveList->header()->setStretchLastSection(true);
  DriveList->header()->setSectionsMovable(false);
  DriveList->installEventFilter(this);
  DriveList->viewport()->installEventFilter(this);
  SetExplorerTheme(DriveList);
  connect(DriveList, &QTreeWidget::itemSelectionChanged, this, &TFmChoose::DriveListClick);

  lbCopyright = new QLabel(QString::fromUtf8("Quarnel © Zelmora，免费软件"), this);
  lbCopyright->setObjectName("lbCopyright");
  SetTextColor(lbCopyright, kBgrGrey);
  lbDiskManagement = new TLinkLabel(QString::fromUtf8("打开磁盘管理控制台"), this);
  lbDiskManagement->setObjectName("lbDiskManagement");
  SetTextColor(lbDiskManagement, kBgrBlue);
  QFont underlined = lbDiskManagement->font();
  underlined.setUnderline(true);
  lbDiskManagement->setFont(underlined);
  connect(lbDiskManagement, &TLinkLabel::clicked, this, &TFmChoose::lbDiskManagementClick);
  Label2 = new QLabel(QString::fromUtf8("请选择一个设备"), this);
  Label2->setObjectName("Label2");
  btContinue = new QPushButton(QString::fromUtf8("继续 >>>"), this);
  btContinue->setObjectName("btContinue");
  btContinue->setDefault(true);
  btContinue->setEnabled(false);
  btContinue->setMinimumWidth(110);
  connect(btContinue, &QPushButton::clicked, this, &TFmChoose::btContinueClick);

  auto* bottom = new QWidget(this);
  bottom->setFixedHeight(69);
  auto* bottomLayout = new QHBoxLayout(bottom);
  bottomLayout->setContentsMargins(12, 0, 12, 0);
  bottomLayout->addWidget(lbCopyright);
  bottomLayout->addStretch(1);
  bottomLayout->addWidget(lbDiskManagement);
  bottomLayout->addSpacing(24);
  bottomLayout->addWidget(Label2);
  bottomLayout->addSpacing(12);
  bottomLayout->addWidget(btContinue);

  auto* status = new QStatusBar(this);
  status->setSizeGripEnabled(false);
  StatusPanel = new QLabel(status);
  StatusPanel->setObjectName("StatusPanel");
  status->addWidget(StatusPanel, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(HeaderBand(this, lbProgramName, Label1));
  layout->addWidget(separator);
  layout->addWidget(DriveList, 1);
  layout->addWidget(bottom);
  layout->addWidget(status);
  setFixedSize(881, 368);
  CentreOnScreen(this);
}

void TFmChoose::FillDriveList() {
  DriveList->clear();
  for (int64_t i = 1; i <= DeviceCount; ++i) {
    const TDriveListRow row = DriveListRow(DeviceTable[i]);
    QStringList texts;
    for (const std::string& text : row) texts << ToQt(text);
    DriveList->addTopLevelItem(new QTreeWidgetItem(texts));
  }
  StatusPanel->setText(ToQt(ChooserStatusText));
}

bool TFmChoose::ChooseDevice() {
  FillDriveList();
  exec();
  return DeviceChosen;
}

void TFmChoose::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  DriveList->setFocus();
  // Over the chooser once it is on screen.
  QTimer::singleShot(0, this, [] { ChooserShown(); });
  const int64_t row = InitialDriveRow();
  QTreeWidgetItem* offered = row >= 0 ? DriveList->topLevelItem(static_cast<int>(row)) : nullptr;
  if (!offered) return;
  btContinue->setEnabled(true);
  DriveList->setCurrentItem(offered);
  offered->setSelected(true);
}

bool TFmChoose::eventFilter(QObject* watched, QEvent* event) {
  if (watched == DriveList && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    DriveListEscapePressed();
    reject();
    return true;
  }
  if (watched == DriveList->viewport()) {
    if (event->type() == QEvent::MouseButtonPress) {
      // A click beside the rows clears the selection, which the list would
      // otherwise keep.
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton &&
          !DriveList->indexAt(mouse->position().toPoint()).isValid()) {
        DriveList->clearSelection();
        DriveList->setCurrentItem(nullptr);
        DriveListClick();
        return true;
      }
    } else if (event->type() == QEvent::MouseButtonDblClick) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (!DriveList->indexAt(mouse->position().toPoint()).isValid()) {
        DriveList->clearSelection();
        DriveListClick();
        return true;
      }
      DriveListDblClick();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TFmChoose::DriveListClick() { btContinue->setEnabled(!DriveList->selectedItems().isEmpty()); }

void TFmChoose::DriveListDblClick() {
  if (!DriveList->selectedItems().isEmpty()) btContinue->click();
}

void TFmChoose::btContinueClick() {
  const QList<QTreeWidgetItem*> selected = DriveList->selectedItems();
  if (selected.isEmpty()) return;
  if (AcceptDriveChoice(DriveList->indexOfTopLevelItem(selected.front()))) accept();
}

void TFmChoose::done(int result) {
  QDialog::done(result);
  ChooserClosed();
}

void TFmChoose::lbDiskManagementClick() {
  // The desktop's own disk tool stands in for the disk management console.
  for (const char* tool : {"gnome-disks", "partitionmanager"}) {
    const QString path = QStandardPaths::findExecutable(QString::fromUtf8(tool));
    if (!path.isEmpty() && QProcess::startDetached(path, {})) return;
  }
  Ui().ShowMessage("未找到磁盘管理工具（gnome-disks 或 KDE 分区管理器）。", "打开磁盘管理控制台",
                   TMessageIcon::Information);
}

void TFmChoose::Label1Click() { QDesktopServices::openUrl(QUrl(QString::fromUtf8(kMakerUrl))); }

}  // namespace quarnel
