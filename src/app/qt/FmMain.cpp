#include "app/qt/FmMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "app/MainState.h"
#include "app/qt/PaneView.h"
#include "base/Logging.h"
#include "base/ProgramInfo.h"
#include "erase/EraseRecord.h"
#include "record/CertificateFile.h"
#include "ui/Catalogue.h"
#include "ui/qt/LinkLabel.h"
#include "ui/qt/QtUi.h"
#include "ui/qt/VistaFuncs.h"

namespace quarnel {

using namespace mainwindow;

namespace {

QPlainTextEdit* Pane(QWidget* parent, const char* name, TLogPane& pane, bool report) {
  auto* view = new QPlainTextEdit(parent);
  view->setObjectName(name);
  view->setReadOnly(true);
  view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QPalette palette = view->palette();
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::Text, Qt::black);
  view->setPalette(palette);
  if (report) SetFont(view, kReportPaneFont);
  BindPane(view, pane);
  return view;
}

QLabel* BigLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  SetFont(label, kProgressLabelFont);
  label->setMinimumHeight(QFontMetrics(label->font()).height());
  return label;
}

}  // namespace

TFmMain::TFmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("FmMain");
  SetIconTitleFont(this);
  UseCalibriFont(this);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  auto* header = new QWidget(central);
  header->setFixedHeight(kHeaderHeight);
  header->setAutoFillBackground(true);
  QPalette white = header->palette();
  white.setColor(QPalette::Window, BgrColor(kBgrWhite));
  header->setPalette(white);
  auto* headerLayout = new QHBoxLayout(header);
  headerLayout->setContentsMargins(8, 0, 8, 0);
  lbDiskName = new QLabel(header);
  lbDiskName->setObjectName("lbDiskName");
  // A drive's model is the drive's text, not markup.
  lbDiskName->setTextFormat(Qt::PlainText);
  SetFont(lbDiskName, kDiskNameFont);
  headerLayout->addWidget(lbDiskName);
  layout->addWidget(header);

  pages = new QTabWidget(central);
  pages->setObjectName("pages");
  Log_Details = Pane(pages, "Log_Details", quarnel::Log_Details, true);
  pages->addTab(Log_Details, QString::fromUtf8(kPageCaptions[kDetailsPage]));
  pages->addTab(BuildFormatPage(), QString::fromUtf8(kPageCaptions[kFormatPage]));
  pages->addTab(BuildSmartPage(), QString::fromUtf8(kPageCaptions[kSmartPage]));
  pages->setCurrentIndex(kDetailsPage);
  auto* pagesBox = new QVBoxLayout;
  pagesBox->setContentsMargins(4, 4, 4, 2);
  pagesBox->addWidget(pages);
  layout->addLayout(pagesBox, 1);

  lbCopyright = new TLinkLabel(ToQt(MakerLineText()), central);
  lbCopyright->setObjectName("lbCopyright");
  SetFont(lbCopyright, kMakerLineFont);
  lbCopyright->setContentsMargins(8, 2, 8, 4);
  lbCopyright->SetColours(kMakerLineColours);
  connect(lbCopyright, &TLinkLabel::clicked, this, &TFmMain::lbCopyrightClick);
  layout->addWidget(lbCopyright);

  setCentralWidget(central);
  BuildStatusBar();
  resize(SizeOf(kClient));
  setMinimumSize(SizeOf(kMinimum));
  for (int page : {kFormatPage, kSmartPage}) {
    if (const auto control = DefaultButton(page)) Button(*control)->setDefault(true);
  }
  CentreOnScreen(this);
}

QWidget* TFmMain::BuildFormatPage() {
  auto* page = new QWidget(pages);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(6, 6, 6, 6);
  Log_BenchMark = Pane(page, "Log_BenchMark", quarnel::Log_BenchMark, false);
  layout->addWidget(Log_BenchMark, 1);

  gbProgress = new QGroupBox(QString::fromUtf8(kProgressBoxCaption), page);
  auto* progressLayout = new QVBoxLayout(gbProgress);
  pbCurrentTask = new QProgressBar(gbProgress);
  pbCurrentTask->setObjectName("pbCurrentTask");
  pbCurrentTask->setRange(0, 100);
  pbCurrentTask->setValue(0);
  pbCurrentTask->setTextVisible(false);
  progressLayout->addWidget(pbCurrentTask);
  layout->addWidget(gbProgress);

  auto* bottom = new QHBoxLayout;
  auto* labels = new QGridLayout;
  lbCurrentPercent = BigLabel(page, "lbCurrentPercent");
  lbSpeed = BigLabel(page, "lbSpeed");
  lbCurrentPosition = BigLabel(page, "lbCurrentPosition");
  labels->addWidget(lbCurrentPercent, 0, 0);
  labels->addWidget(lbSpeed, 0, 1);
  labels->addWidget(lbCurrentPosition, 1, 0, 1, 2);
  labels->setColumnMinimumWidth(0, 140);
  labels->setColumnStretch(1, 1);
  bottom->addLayout(labels, 1);

  auto* controls = new QVBoxLayout;
  cbQuickWipe = new QCheckBox(QString::fromUtf8(kQuickWipeCaption), page);
  cbQuickWipe->setObjectName("cbQuickWipe");
  controls->addWidget(cbQuickWipe);
  cbVerify = new QCheckBox(QString::fromUtf8(kVerifyCaption), page);
  cbVerify->setObjectName("cbVerify");
  controls->addWidget(cbVerify);
  auto* firmware = new QHBoxLayout;
  cbFirmware = new QCheckBox(QString::fromUtf8(kFirmwareCaption), page);
  cbFirmware->setObjectName("cbFirmware");
  cbFirmware->setEnabled(false);
  cbFirmwareMethod = new QComboBox(page);
  cbFirmwareMethod->setObjectName("cbFirmwareMethod");
  cbFirmwareMethod->setEnabled(false);
  firmware->addWidget(cbFirmware);
  firmware->addWidget(cbFirmwareMethod, 1);
  controls->addLayout(firmware);
  auto* buttons = new QHBoxLayout;
  btCertificate = new QPushButton(QString::fromUtf8(kCertificateCaption), page);
  btCertificate->setObjectName("btCertificate");
  btCertificate->setEnabled(false);
  btCertificate->setMinimumHeight(kButtonHeight);
  buttons->addWidget(btCertificate);
  buttons->addStretch(1);
  btStop = new QPushButton(QString::fromUtf8(kStopCaption), page);
  btStop->setObjectName("btStop");
  btStop->setEnabled(false);
  btRunBenchmarks = new QPushButton(QString::fromUtf8(kFormatCaption), page);
  btRunBenchmarks->setObjectName("btRunBenchmarks");
  for (QPushButton* b : {btStop, btRunBenchmarks}) {
    b->setMinimumSize(kFormatButtonWidth, kButtonHeight);
    buttons->addWidget(b);
  }
  controls->addLayout(buttons);
  bottom->addLayout(controls);
  layout->addLayout(bottom);

  connect(btRunBenchmarks, &QPushButton::clicked, this, [this] { FormatButtonClicked(*this); });
  connect(btStop, &QPushButton::clicked, this, [] { StopButtonClicked(); });
  connect(btCertificate, &QPushButton::clicked, this, [this] { btCertificateClick(); });
  // The boxes' state lives in the core, which the procedure reads.
  connect(cbQuickWipe, &QCheckBox::toggled, this, [](bool on) { Ui().SetQuickWipe(on); });
  connect(cbVerify, &QCheckBox::toggled, this, [](bool on) { Ui().SetVerify(on); });
  connect(cbFirmware, &QCheckBox::toggled, this,
          [this](bool on) { Ui().ChooseFirmware(on, cbFirmwareMethod->currentIndex()); });
  connect(cbFirmwareMethod, &QComboBox::currentIndexChanged, this,
          [this](int index) { Ui().ChooseFirmware(cbFirmware->isChecked(), index); });
  return page;
}

QWidget* TFmMain::BuildSmartPage() {
  auto* page = new QWidget(pages);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(6, 6, 6, 6);
  Log_Smart = Pane(page, "Log_Smart", quarnel::Log_Smart, true);
  layout->addWidget(Log_Smart, 1);
  auto* row = new QHBoxLayout;
  lbSelfTest = new QLabel(page);
  lbSelfTest->setObjectName("lbSelfTest");
  lbSelfTest->setTextFormat(Qt::PlainText);
  row->addWidget(lbSelfTest, 1);
  pbSelfTest = new QProgressBar(page);
  pbSelfTest->setObjectName("pbSelfTest");
  pbSelfTest->setRange(0, 100);
  pbSelfTest->setFixedWidth(kSelfTestBarWidth);
  row->addWidget(pbSelfTest);
  cbSelfTestKind = new QComboBox(page);
  cbSelfTestKind->setObjectName("cbSelfTestKind");
  for (const char* kind : kSelfTestKindCaptions) cbSelfTestKind->addItem(QString::fromUtf8(kind));
  cbSelfTestKind->setMinimumSize(kSelfTestKindWidth, kButtonHeight);
  row->addWidget(cbSelfTestKind);
  btSelfTest = new QPushButton(page);
  btSelfTest->setObjectName("btSelfTest");
  btSelfTest->setMinimumSize(kSelfTestButtonWidth, kButtonHeight);
  row->addWidget(btSelfTest);
  btGetSmart = new QPushButton(QString::fromUtf8(kGetSmartCaption), page);
  btGetSmart->setObjectName("btGetSmart");
  btGetSmart->setMinimumSize(kSmartButtonWidth, kButtonHeight);
  row->addWidget(btGetSmart);
  layout->addLayout(row);
  connect(btGetSmart, &QPushButton::clicked, this, [this] { SmartButtonClicked(*this); });
  connect(btSelfTest, &QPushButton::clicked, this,
          [this] { SelfTestButtonClicked(*this, cbSelfTestKind->currentIndex()); });
  ShowSelfTestRow(selfTestRow_);
  return page;
}

void TFmMain::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(true);
  for (int i = 0; i < 3; ++i) {
    StatusPanels[i] = new TElidedLabel(bar);
    StatusPanels[i]->setObjectName(QString("StatusPanel%1").arg(i + 1));
  }
  // The middle one gives way when the window is narrower than all three.
  StatusPanels[0]->setFixedWidth(kStatusPanelWidths[0]);
  for (QLabel* panel : StatusPanels) panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  StatusPanels[1]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  StatusPanels[1]->setMaximumWidth(kStatusPanelWidths[1]);
  StatusPanels[2]->setFixedWidth(kStatusPanelWidths[2]);
  StatusPanels[2]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  bar->addWidget(StatusPanels[0]);
  bar->addWidget(StatusPanels[1], 1);
  bar->addWidget(StatusPanels[2]);
}

QPushButton* TFmMain::Button(TFormatControl control) const {
  return control == TFormatControl::btRunBenchmarks ? btRunBenchmarks
         : control == TFormatControl::btGetSmart    ? btGetSmart
         : control == TFormatControl::btStop        ? btStop
                                                    : nullptr;
}

void TFmMain::ShowFormatPage(const TFormatPage& page) {
  pbCurrentTask->setValue(page.Position);
  const bool paused = page.State == TProgressState::pbsPaused;
  if (pbCurrentTask->property("paused").toBool() != paused) {
    QPalette palette = QPalette();
    // The bar has no paused state of its own.
    if (paused) palette.setColor(QPalette::Highlight, BgrColor(kBgrPausedBar));
    pbCurrentTask->setPalette(palette);
    pbCurrentTask->setProperty("paused", paused);
  }
  lbCurrentPercent->setText(ToQt(page.Captions[static_cast<int>(TFormatLabel::lbCurrentPercent)]));
  lbCurrentPosition->setText(
      ToQt(page.Captions[static_cast<int>(TFormatLabel::lbCurrentPosition)]));
  lbSpeed->setText(ToQt(page.Captions[static_cast<int>(TFormatLabel::lbSpeed)]));
  btRunBenchmarks->setEnabled(page.Enabled[static_cast<int>(TFormatControl::btRunBenchmarks)]);
  btGetSmart->setEnabled(page.Enabled[static_cast<int>(TFormatControl::btGetSmart)]);
  btSelfTest->setEnabled(SelfTestButtonEnabled(selfTestRow_, page));
  cbQuickWipe->setEnabled(page.Enabled[static_cast<int>(TFormatControl::cbQuickWipe)]);
  cbVerify->setEnabled(page.Enabled[static_cast<int>(TFormatControl::cbVerify)]);
  btStop->setEnabled(page.Enabled[static_cast<int>(TFormatControl::btStop)]);
  btCertificate->setEnabled(page.Enabled[static_cast<int>(TFormatControl::btCertificate)]);
  cbQuickWipe->setChecked(page.QuickWipe);
  cbVerify->setChecked(page.Verify);
  ShowFirmwareChoice(page);
}

void TFmMain::ShowFirmwareChoice(const TFormatPage& page) {
  const QSignalBlocker blockBox(cbFirmware), blockList(cbFirmwareMethod);
  QStringList items;
  for (const std::string& m : page.FirmwareMethods) items << ToQt(m);
  QStringList shown;
  for (int i = 0; i < cbFirmwareMethod->count(); ++i) shown << cbFirmwareMethod->itemText(i);
  if (shown != items) {
    cbFirmwareMethod->clear();
    cbFirmwareMethod->addItems(items);
  }
  cbFirmwareMethod->setCurrentIndex(items.isEmpty() ? -1 : Ui().FirmwareIndex());
  cbFirmware->setChecked(!page.FirmwareChoice.empty());
  cbFirmware->setEnabled(page.Enabled[static_cast<int>(TFormatControl::cbFirmware)]);
  cbFirmwareMethod->setEnabled(page.Enabled[static_cast<int>(TFormatControl::cbFirmwareMethod)]);
}

void TFmMain::FocusStopButton() { btStop->setFocus(); }

void TFmMain::lbCopyrightClick() { OpenWebAddress(kMakerUrl); }

void TFmMain::btCertificateClick() {
  const std::string page = SaveCertificateFor(LastEraseRecordFile());
  // Opened in the user's browser, for printing.
  if (!page.empty()) {
    OpenWebAddress(QUrl::fromLocalFile(QString::fromStdString(page)).toString().toStdString());
  }
}

void TFmMain::closeEvent(QCloseEvent* event) {
  if (!MainWindowCloseRequested()) {
    event->ignore();
    return;
  }
  event->accept();
  emit closed();
}

void TFmMain::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (const auto control = EnterPresses(pages->currentIndex())) {
      Button(*control)->click();
      return;
    }
  }
  QMainWindow::keyPressEvent(event);
}

void TFmMain::SetTitle(const std::string& title) {
  setWindowTitle(ToQt(title));
  StatusPanels[0]->SetFullText(ToQt(title));
}

void TFmMain::ShowDiskName(const std::string& description) {
  lbDiskName->setText(ToQt(description));
}

void TFmMain::ShowStatusDescription(const std::string& description) {
  StatusPanels[1]->SetFullText(ToQt(description));
}

void TFmMain::ShowHealthVerdict(const std::string& verdict) {
  StatusPanels[2]->SetFullText(ToQt(verdict));
}

void TFmMain::ShowSelfTestRow(const TSelfTestRow& row) {
  selfTestRow_ = row;
  lbSelfTest->setText(ToQt(row.Text));
  pbSelfTest->setVisible(row.Percent >= 0);
  pbSelfTest->setValue(row.Percent < 0 ? 0 : row.Percent);
  cbSelfTestKind->setEnabled(!row.Running);
  btSelfTest->setText(ToQt(row.ButtonCaption));
  btSelfTest->setEnabled(SelfTestButtonEnabled(row, Ui().Page()));
}

void TFmMain::ScrollReportTo(const TLogPane& pane, int line) {
  QPlainTextEdit* view = &pane == &quarnel::Log_Smart ? Log_Smart : Log_Details;
  // Once the lines are laid out; the bar counts lines, as nothing wraps.
  QTimer::singleShot(0, view, [view, line] { view->verticalScrollBar()->setValue(line); });
}

}  // namespace quarnel
