#include "app/qt/FmMain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/MainState.h"
#include "app/StartUp.h"
#include "app/qt/FmDebug.h"
#include "app/qt/PaneView.h"
#include "base/Logging.h"
#include "devices/qt/FmChoose.h"
#include "format/FormatProcedure.h"
#include "ui/qt/LinkLabel.h"
#include "ui/qt/VistaFuncs.h"

namespace quarnel {

namespace {

// The progress bar has no paused state of its own: a stopped or finished
// run keeps its position in this colour.
const QColor kPausedChunk(232, 184, 0);

QPlainTextEdit* Pane(QWidget* parent, const char* name, TLogPane& pane, bool reportFont) {
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
  if (reportFont) view->setFont(ReportPaneFont());
  BindPane(view, pane, reportFont ? TPaneScroll::NewestReport : TPaneScroll::FollowEnd);
  return view;
}

QLabel* BigLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  QFont font = label->font();
  font.setPointSize(16);
  label->setFont(font);
  label->setMinimumHeight(QFontMetrics(font).height());
  return label;
}

}  // namespace

TFmMain::TFmMain(std::vector<std::string> arguments, std::string programFile, QWidget* parent)
    : QMainWindow(parent), arguments_(std::move(arguments)), program_file_(std::move(programFile)) {
  setObjectName("FmMain");
  SetIconTitleFont(this);
  UseCalibriFont(this);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  auto* header = new QWidget(central);
  header->setFixedHeight(32);
  header->setAutoFillBackground(true);
  QPalette white = header->palette();
  white.setColor(QPalette::Window, Qt::white);
  header->setPalette(white);
  auto* headerLayout = new QHBoxLayout(header);
  headerLayout->setContentsMargins(8, 0, 8, 0);
  lbDiskName = new QLabel(header);
  lbDiskName->setObjectName("lbDiskName");
  QFont bold = lbDiskName->font();
  bold.setBold(true);
  lbDiskName->setFont(bold);
  headerLayout->addWidget(lbDiskName);
  layout->addWidget(header);

  pages = new QTabWidget(central);
  pages->setObjectName("pages");
  Log_Details = Pane(pages, "Log_Details", quarnel::Log_Details, true);
  pages->addTab(Log_Details, QString::fromUtf8("设备详细信息"));
  pages->addTab(BuildFormatPage(), QString::fromUtf8("低级格式化"));
  pages->addTab(BuildSmartPage(), QString::fromUtf8("S.M.A.R.T."));
  pages->setCurrentIndex(0);
  auto* pagesBox = new QVBoxLayout;
  pagesBox->setContentsMargins(4, 4, 4, 2);
  pagesBox->addWidget(pages);
  layout->addLayout(pagesBox, 1);

  lbCopyright = new TLinkLabel(
      QString::fromUtf8("Quarnel 由 Zelmora 开发，访问 ") + QString::fromUtf8(kMakerUrl), central);
  lbCopyright->setObjectName("lbCopyright");
  QFont small = lbCopyright->font();
  small.setBold(true);
  if (small.pointSizeF() > 0) small.setPointSizeF(small.pointSizeF() - 1);
  lbCopyright->setFont(small);
  lbCopyright->setContentsMargins(8, 2, 8, 4);
  SetTextColor(lbCopyright, kBgrGrey);
  connect(lbCopyright, &TLinkLabel::clicked, this, &TFmMain::lbCopyrightClick);
  connect(lbCopyright, &TLinkLabel::entered, this, [this] { SetTextColor(lbCopyright, kBgrBlue); });
  connect(lbCopyright, &TLinkLabel::left, this, [this] { SetTextColor(lbCopyright, kBgrGrey); });
  connect(lbCopyright, &TLinkLabel::leftPressed, this,
          [this] { SetTextColor(lbCopyright, kBgrRed); });
  connect(lbCopyright, &TLinkLabel::leftReleased, this,
          [this] { SetTextColor(lbCopyright, kBgrGrey); });
  layout->addWidget(lbCopyright);

  setCentralWidget(central);
  BuildStatusBar();
  resize(768, 499);
  setMinimumSize(750, 450);
  CentreOnScreen(this);
}

QWidget* TFmMain::BuildFormatPage() {
  auto* page = new QWidget(pages);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(6, 6, 6, 6);
  Log_BenchMark = Pane(page, "Log_BenchMark", quarnel::Log_BenchMark, false);
  layout->addWidget(Log_BenchMark, 1);

  gbProgress = new QGroupBox(QString::fromUtf8("当前任务进度"), page);
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
  cbQuickWipe = new QCheckBox(QString::fromUtf8("执行快速擦除（仅删除分区和 MBR）"), page);
  cbQuickWipe->setObjectName("cbQuickWipe");
  controls->addWidget(cbQuickWipe);
  cbVerify = new QCheckBox(QString::fromUtf8("擦除后校验"), page);
  cbVerify->setObjectName("cbVerify");
  controls->addWidget(cbVerify);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  btStop = new QPushButton(QString::fromUtf8("停止"), page);
  btStop->setObjectName("btStop");
  btStop->setEnabled(false);
  btRunBenchmarks = new QPushButton(QString::fromUtf8("格式化此设备"), page);
  btRunBenchmarks->setObjectName("btRunBenchmarks");
  btRunBenchmarks->setDefault(true);
  for (QPushButton* b : {btStop, btRunBenchmarks}) {
    b->setMinimumSize(110, 30);
    buttons->addWidget(b);
  }
  controls->addLayout(buttons);
  bottom->addLayout(controls);
  layout->addLayout(bottom);

  connect(btRunBenchmarks, &QPushButton::clicked, this, &TFmMain::btRunBenchmarksClick);
  connect(btStop, &QPushButton::clicked, this, &TFmMain::btStopClick);
  // The boxes' state lives in the core, which the procedure reads.
  connect(cbQuickWipe, &QCheckBox::toggled, this, [](bool on) { Ui().SetQuickWipe(on); });
  connect(cbVerify, &QCheckBox::toggled, this, [](bool on) { Ui().SetVerify(on); });
  return page;
}

QWidget* TFmMain::BuildSmartPage() {
  auto* page = new QWidget(pages);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(6, 6, 6, 6);
  Log_Smart = Pane(page, "Log_Smart", quarnel::Log_Smart, true);
  layout->addWidget(Log_Smart, 1);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  btGetSmart = new QPushButton(QString::fromUtf8("获取 SMART 数据(&G)"), page);
  btGetSmart->setObjectName("btGetSmart");
  btGetSmart->setDefault(true);
  btGetSmart->setMinimumSize(150, 30);
  row->addWidget(btGetSmart);
  layout->addLayout(row);
  connect(btGetSmart, &QPushButton::clicked, this, &TFmMain::btGetSmartClick);
  return page;
}

void TFmMain::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(true);
  for (int i = 0; i < 3; ++i) {
    StatusPanels[i] = new TElidedLabel(bar);
    StatusPanels[i]->setObjectName(QString("StatusPanel%1").arg(i + 1));
  }
  // 450, 450 and 50 pixels; the middle one gives way when the window is
  // narrower than all three.
  StatusPanels[0]->setFixedWidth(450);
  for (QLabel* panel : StatusPanels) panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  StatusPanels[1]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  StatusPanels[1]->setMaximumWidth(450);
  StatusPanels[2]->setFixedWidth(50);
  StatusPanels[2]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  bar->addWidget(StatusPanels[0]);
  bar->addWidget(StatusPanels[1], 1);
  bar->addWidget(StatusPanels[2]);
}

void TFmMain::SetWindows(TFmChoose* choose, TFmDebug* debug) {
  choose_ = choose;
  debug_ = debug;
}

void TFmMain::setVisible(bool visible) {
  if (visible && !shown_once_) {
    shown_once_ = true;
    // Everything of the start happens before the window is on screen; when
    // it ends the program, the window never appears.
    if (!FormShow()) return;
  }
  QMainWindow::setVisible(visible);
}

bool TFmMain::FormShow() { return RunMainWindowFirstShow(*this, arguments_, program_file_); }

void TFmMain::ShowFormatPage(const TFormatPage& page) {
  pbCurrentTask->setValue(page.Position);
  const bool paused = page.State == TProgressState::pbsPaused;
  if (pbCurrentTask->property("paused").toBool() != paused) {
    QPalette palette = QPalette();
    if (paused) palette.setColor(QPalette::Highlight, kPausedChunk);
    pbCurrentTask->setPalette(palette);
    pbCurrentTask->setProperty("paused", paused);
  }
  lbCurrentPercent->setText(ToQt(page.Captions[static_cast<int>(TFormatLabel::lbCurrentPercent)]));
  lbCurrentPosition->setText(
      ToQt(page.Captions[static_cast<int>(TFormatLabel::lbCurrentPosition)]));
  lbSpeed->setText(ToQt(page.Captions[static_cast<int>(TFormatLabel::lbSpeed)]));
  btRunBenchmarks->setEnabled(page.Enabled[static_cast<int>(TFormatControl::btRunBenchmarks)]);
  btGetSmart->setEnabled(page.Enabled[static_cast<int>(TFormatControl::btGetSmart)]);
  cbQuickWipe->setEnabled(page.Enabled[static_cast<int>(TFormatControl::cbQuickWipe)]);
  cbVerify->setEnabled(page.Enabled[static_cast<int>(TFormatControl::cbVerify)]);
  btStop->setEnabled(page.Enabled[static_cast<int>(TFormatControl::btStop)]);
  cbQuickWipe->setChecked(page.QuickWipe);
  cbVerify->setChecked(page.Verify);
}

void TFmMain::FocusStopButton() { btStop->setFocus(); }

void TFmMain::btRunBenchmarksClick() {
  FormatSelectedDevice();
  // A close during the run was put off until now.
  if (CloseDeferredByFormat()) close();
}

void TFmMain::btStopClick() { StopButtonClicked(); }

void TFmMain::btGetSmartClick() { RunSmartReport(); }

void TFmMain::lbCopyrightClick() { QDesktopServices::openUrl(QUrl(QString::fromUtf8(kMakerUrl))); }

void TFmMain::closeEvent(QCloseEvent* event) {
  if (!MainWindowCloseRequested()) {
    event->ignore();
    return;
  }
  event->accept();
  emit closed();
}

void TFmMain::keyPressEvent(QKeyEvent* event) {
  // Enter presses the page's default button, as in a dialog.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    QPushButton* button = nullptr;
    if (pages->currentIndex() == 1) button = btRunBenchmarks;
    if (pages->currentIndex() == 2) button = btGetSmart;
    if (button && button->isEnabled()) {
      button->click();
      return;
    }
  }
  QMainWindow::keyPressEvent(event);
}

void TFmMain::ShowDebugWindow() {
  if (debug_) debug_->show();
}

void TFmMain::SetTitles(const std::string& mainTitle, const std::string& chooserCaption,
                        const std::string& chooserHeader) {
  setWindowTitle(ToQt(mainTitle));
  StatusPanels[0]->SetFullText(ToQt(mainTitle));
  if (choose_) {
    choose_->setWindowTitle(ToQt(chooserCaption));
    choose_->lbProgramName->setText(ToQt(chooserHeader));
  }
}

void TFmMain::ShowDebugWindowModal() {
  if (!debug_) return;
  debug_->hide();
  debug_->exec();
}

bool TFmMain::ChooseDevice() { return choose_ && choose_->ChooseDevice(); }

void TFmMain::ShowDiskName(const std::string& description) {
  lbDiskName->setText(ToQt(description));
}

void TFmMain::ShowStatusDescription(const std::string& description) {
  StatusPanels[1]->SetFullText(ToQt(description));
}

}  // namespace quarnel
