#include "devices/qt/FmChoose.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/ProgramInfo.h"
#include "ui/Catalogue.h"
#include "ui/UiSeam.h"
#include "ui/qt/LinkLabel.h"
#include "ui/qt/QtUi.h"
#include "ui/qt/VistaFuncs.h"

namespace quarnel {

using namespace chooser;

namespace {

QWidget* HeaderBand(QWidget* parent, QLabel* left, QLabel* right) {
  auto* band = new QWidget(parent);
  band->setFixedHeight(kHeaderHeight);
  band->setAutoFillBackground(true);
  QPalette palette = band->palette();
  palette.setColor(QPalette::Window, BgrColor(kBgrWhite));
  band->setPalette(palette);
  auto* layout = new QHBoxLayout(band);
  layout->setContentsMargins(12, 0, 12, 0);
  layout->addWidget(left);
  layout->addStretch(1);
  layout->addWidget(right);
  return band;
}

QLabel* PlainLabel(const char* text, const char* name, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

TFmChoose::TFmChoose(QWidget* parent) : QDialog(parent) {
  setObjectName("FmChoose");
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  SetIconTitleFont(this);
  UseCalibriFont(this);

  lbProgramName = PlainLabel("", "lbProgramName", this);
  SetFont(lbProgramName, kProgramNameFont);
  Label1 = new TLinkLabel(QString::fromUtf8(kMakerUrl), this);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label1->SetColours(kMakerLinkColours);
  connect(Label1, &TLinkLabel::clicked, this, &TFmChoose::Label1Click);

  auto* separator = new QFrame(this);
  separator->setFrameShape(QFrame::HLine);
  separator->setFrameShadow(QFrame::Sunken);
  separator->setFixedHeight(kSeparatorHeight);

  // Rows hold device texts; an item view draws them as plain text.
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
  for (const char* c : kColumnCaptions) captions << QString::fromUtf8(c);
  DriveList->setHeaderLabels(captions);
  for (size_t i = 0; i < kColumnWidths.size(); ++i) {
    DriveList->setColumnWidth(static_cast<int>(i), kColumnWidths[i]);
  }
  DriveList->header()->setStretchLastSection(true);
  DriveList->header()->setSectionsMovable(false);
  DriveList->installEventFilter(this);
  DriveList->viewport()->installEventFilter(this);
  SetExplorerTheme(DriveList);
  connect(DriveList, &QTreeWidget::itemSelectionChanged, this,
          [this] { DriveListClick(*this, SelectedRow()); });

  lbCopyright = PlainLabel(kCreditText, "lbCopyright", this);
  SetTextColor(lbCopyright, kCreditColour);
  lbDiskManagement = new TLinkLabel(QString::fromUtf8(kDiskManagementCaption), this);
  lbDiskManagement->setObjectName("lbDiskManagement");
  lbDiskManagement->SetColours(kDiskManagementColours);
  SetFont(lbDiskManagement, kDiskManagementFont);
  connect(lbDiskManagement, &TLinkLabel::clicked, this, &TFmChoose::lbDiskManagementClick);
  Label2 = PlainLabel(kHintText, "Label2", this);
  btContinue = new QPushButton(QString::fromUtf8(kContinueCaption), this);
  btContinue->setObjectName("btContinue");
  btContinue->setDefault(true);
  btContinue->setEnabled(false);
  btContinue->setMinimumSize(kContinueWidth, kButtonHeight);
  connect(btContinue, &QPushButton::clicked, this, [this] { btContinueClick(*this, SelectedRow()); });
  btStation = new QPushButton(QString::fromUtf8(station::kChooserButtonCaption), this);
  btStation->setObjectName("btStation");
  btStation->setMinimumSize(station::kChooserButtonWidth, kButtonHeight);
  connect(btStation, &QPushButton::clicked, this, [this] { btStationClick(*this); });

  auto* bottom = new QWidget(this);
  bottom->setFixedHeight(kBottomHeight);
  auto* bottomLayout = new QHBoxLayout(bottom);
  bottomLayout->setContentsMargins(12, 0, 12, 0);
  bottomLayout->addWidget(lbCopyright);
  bottomLayout->addStretch(1);
  bottomLayout->addWidget(lbDiskManagement);
  bottomLayout->addSpacing(24);
  bottomLayout->addWidget(Label2);
  bottomLayout->addSpacing(12);
  bottomLayout->addWidget(btStation);
  bottomLayout->addSpacing(6);
  bottomLayout->addWidget(btContinue);

  auto* status = new QStatusBar(this);
  status->setSizeGripEnabled(false);
  StatusPanel = PlainLabel("", "StatusPanel", status);
  status->addWidget(StatusPanel, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(HeaderBand(this, lbProgramName, Label1));
  layout->addWidget(separator);
  layout->addWidget(DriveList, 1);
  layout->addWidget(bottom);
  layout->addWidget(status);
  setFixedSize(SizeOf(kClient));
  CentreOnScreen(this);
}

void TFmChoose::SetTitles(const std::string& caption, const std::string& header) {
  setWindowTitle(ToQt(caption));
  lbProgramName->setText(ToQt(header));
}

void TFmChoose::ShowRows(const std::vector<TDriveListRow>& rows, const std::string& status) {
  DriveList->clear();
  for (const TDriveListRow& row : rows) {
    QStringList texts;
    for (const std::string& text : row) texts << ToQt(text);
    DriveList->addTopLevelItem(new QTreeWidgetItem(texts));
  }
  StatusPanel->setText(ToQt(status));
}

void TFmChoose::FocusList() { DriveList->setFocus(); }

void TFmChoose::SelectRow(int64_t row) {
  QTreeWidgetItem* item = DriveList->topLevelItem(static_cast<int>(row));
  if (!item) return;
  DriveList->setCurrentItem(item);
  item->setSelected(true);
}

void TFmChoose::EnableContinue(bool enabled) { btContinue->setEnabled(enabled); }

void TFmChoose::CloseChooser() { close(); }

int64_t TFmChoose::SelectedRow() const {
  const QList<QTreeWidgetItem*> selected = DriveList->selectedItems();
  return selected.isEmpty() ? -1 : DriveList->indexOfTopLevelItem(selected.front());
}

void TFmChoose::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Over the chooser once it is on screen.
  QTimer::singleShot(0, this, [] { ChooserShown(); });
  ChooserFormShow(*this);
}

bool TFmChoose::eventFilter(QObject* watched, QEvent* event) {
  if (watched == DriveList && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    DriveListKeyEscape(*this);
    return true;
  }
  if (watched == DriveList->viewport() && (event->type() == QEvent::MouseButtonPress ||
                                           event->type() == QEvent::MouseButtonDblClick)) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const bool onRow = DriveList->indexAt(mouse->position().toPoint()).isValid();
    // A click beside the rows clears the selection, which the list would
    // otherwise keep.
    if (!onRow && (mouse->button() == Qt::LeftButton ||
                   event->type() == QEvent::MouseButtonDblClick)) {
      DriveList->clearSelection();
      DriveList->setCurrentItem(nullptr);
      DriveListClick(*this, -1);
    }
    if (event->type() == QEvent::MouseButtonDblClick) {
      DriveListDblClick(*this, SelectedRow());
      return true;
    }
    if (!onRow && mouse->button() == Qt::LeftButton) return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TFmChoose::done(int result) {
  QDialog::done(result);
  ChooserClosed();
}

void TFmChoose::lbDiskManagementClick() {
  // The desktop's own disk tool stands in for the disk management console.
  for (const char* tool : {"gnome-disks", "partitionmanager"}) {
    const QString path = QStandardPaths::findExecutable(QString::fromUtf8(tool));
    if (!path.isEmpty() && StartUserProgram(path)) return;
  }
  Ui().ShowMessage(kDiskToolMissingText, kDiskManagementCaption, TMessageIcon::Information);
}

void TFmChoose::Label1Click() { OpenWebAddress(kMakerUrl); }

}  // namespace quarnel
