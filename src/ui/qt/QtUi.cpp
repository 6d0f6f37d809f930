#include "ui/qt/QtUi.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>
#include <utility>
#include <vector>

#include "ui/TaskDialogs.h"

namespace quarnel {

namespace {

struct TButtonFlag {
  int Flag;
  QMessageBox::StandardButton Button;
  int TaskCode;     // what the task dialog reports for it
  int ClassicCode;  // the classic dialog's modal result
  const char* ClassicText;
};

// The task dialog's common buttons; the classic dialog turns Close into Abort.
const TButtonFlag kButtons[] = {
    {kButtonOk, QMessageBox::Ok, 1, kResultOk, "OK"},
    {kButtonYes, QMessageBox::Yes, 6, kResultYes, "&Yes"},
    {kButtonNo, QMessageBox::No, 7, kResultNo, "&No"},
    {kButtonCancel, QMessageBox::Cancel, 2, kResultCancel, "Cancel"},
    {kButtonRetry, QMessageBox::Retry, 4, kResultRetry, "&Retry"},
    {kButtonClose, QMessageBox::Close, 8, kResultAbort, "&Abort"},
};

QMessageBox::Icon TaskIcon(int icon) {
  switch (icon) {
    case kIconInformation:
      return QMessageBox::Information;
    case kIconWarning:
      return QMessageBox::Warning;
    case kIconError:
      return QMessageBox::Critical;
    case kIconQuestion:
      return QMessageBox::Question;
    default:
      return QMessageBox::NoIcon;
  }
}

QMessageBox::Icon KindIcon(TDialogKind kind) {
  switch (kind) {
    case TDialogKind::Information:
      return QMessageBox::Information;
    case TDialogKind::Warning:
      return QMessageBox::Warning;
    case TDialogKind::Error:
      return QMessageBox::Critical;
    case TDialogKind::Confirmation:
      return QMessageBox::Question;
    case TDialogKind::Custom:
      break;
  }
  return QMessageBox::NoIcon;
}

// Which kButtons entry the user pressed; nullptr when the box was closed
// without a button.
const TButtonFlag* Pressed(const QMessageBox& box) {
  const QMessageBox::StandardButton button = box.standardButton(box.clickedButton());
  for (const TButtonFlag& b : kButtons) {
    if (b.Button == button) return &b;
  }
  return nullptr;
}

// A warning asks before something that cannot be undone: Enter must not
// confirm it, so the refusing button is the default.
void DefaultToRefusal(QMessageBox& box) {
  for (QMessageBox::StandardButton b : {QMessageBox::Cancel, QMessageBox::No}) {
    if (auto* button = qobject_cast<QPushButton*>(box.button(b))) {
      box.setDefaultButton(button);
      return;
    }
  }
}

}  // namespace

QString ToQt(const std::string& text) {
  QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return s;
}

void TQtUi::SetMainWindow(QWidget* owner, TFormatPageView* page) {
  owner_ = owner;
  page_view_ = page;
  ShowFormatPage(Page());
}

void TQtUi::ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) {
  const QMessageBox::Icon qicon = icon == TMessageIcon::Error     ? QMessageBox::Critical
                                  : icon == TMessageIcon::Warning ? QMessageBox::Warning
                                                                  : QMessageBox::Information;
  QMessageBox box(qicon, ToQt(caption), ToQt(text), QMessageBox::Ok);
  box.exec();
}

int TQtUi::TaskDialog(const TTaskDialogRequest& request) {
  QMessageBox box(owner_);
  box.setWindowTitle(ToQt(request.Title));
  box.setText(ToQt(request.MainInstruction));
  box.setInformativeText(ToQt(request.Content));
  box.setIcon(TaskIcon(request.Icon));
  QMessageBox::StandardButtons buttons;
  for (const TButtonFlag& b : kButtons) {
    if (request.Buttons & b.Flag) buttons |= b.Button;
  }
  // A task dialog without buttons still has OK.
  box.setStandardButtons(buttons ? buttons : QMessageBox::StandardButtons(QMessageBox::Ok));
  if (request.Icon == kIconWarning) DefaultToRefusal(box);
  // As wide as a task dialog, so that a drive's description stays on a line
  // or two.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(460, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  box.exec();
  const TButtonFlag* pressed = Pressed(box);
  // Closed without a button: the task dialog reports Cancel.
  return pressed ? pressed->TaskCode : 2;
}

int TQtUi::ClassicDialog(const TClassicDialogRequest& request) {
  QMessageBox box(KindIcon(request.Kind), ToQt(request.Caption), ToQt(request.Text),
                  QMessageBox::NoButton);
  for (const TButtonFlag& b : kButtons) {
    if (request.Buttons & b.Flag) {
      box.addButton(b.Button)->setText(QString::fromUtf8(b.ClassicText));
    }
  }
  if (box.buttons().isEmpty()) box.addButton(QMessageBox::Ok)->setText("OK");
  if (request.Kind == TDialogKind::Warning) DefaultToRefusal(box);
  box.exec();
  const TButtonFlag* pressed = Pressed(box);
  return pressed ? pressed->ClassicCode : kResultCancel;
}

void TQtUi::ProcessMessages() { QCoreApplication::processEvents(); }

void TQtUi::ShowFormatPage(const TFormatPage& page) {
  if (page_view_) page_view_->ShowFormatPage(page);
}

void TQtUi::FocusStopButton() {
  if (page_view_) page_view_->FocusStopButton();
}

}  // namespace quarnel
