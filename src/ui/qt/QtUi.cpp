#include "ui/qt/QtUi.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QUrl>
#include <QWidget>
#include <iterator>

#include "base/ProgramInfo.h"
#include "base/System.h"
#include "ui/TaskDialogs.h"

namespace quarnel {

namespace {

// The Qt button of each common button, in the order of kDialogButtons.
const QMessageBox::StandardButton kQtButtons[] = {QMessageBox::Ok,     QMessageBox::Yes,
                                                  QMessageBox::No,     QMessageBox::Cancel,
                                                  QMessageBox::Retry,  QMessageBox::Close};
static_assert(std::size(kQtButtons) == kDialogButtons.size());

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

// Which kDialogButtons entry the user pressed; nullptr when the box was
// closed without a button.
const TDialogButton* Pressed(const QMessageBox& box) {
  const QMessageBox::StandardButton button = box.standardButton(box.clickedButton());
  for (size_t i = 0; i < kDialogButtons.size(); ++i) {
    if (kQtButtons[i] == button) return &kDialogButtons[i];
  }
  return nullptr;
}

// The button Enter presses, as the core chose it.
void SetDefault(QMessageBox& box, int flag) {
  for (size_t i = 0; i < kDialogButtons.size(); ++i) {
    if (kDialogButtons[i].Flag != flag) continue;
    if (auto* button = qobject_cast<QPushButton*>(box.button(kQtButtons[i]))) {
      box.setDefaultButton(button);
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
  for (size_t i = 0; i < kDialogButtons.size(); ++i) {
    if (request.Buttons & kDialogButtons[i].Flag) buttons |= kQtButtons[i];
  }
  // A task dialog without buttons still has OK.
  box.setStandardButtons(buttons ? buttons : QMessageBox::StandardButtons(QMessageBox::Ok));
  SetDefault(box, request.DefaultButton);
  // As wide as a task dialog, so that a drive's description stays on a line
  // or two.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(460, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  box.exec();
  const TDialogButton* pressed = Pressed(box);
  // Closed without a button: the task dialog reports Cancel.
  return pressed ? pressed->TaskCode : 2;
}

bool TQtUi::ShowsTaskDialogs() const { return true; }

void TQtUi::ProcessMessages() { QCoreApplication::processEvents(); }

void TQtUi::ShowFormatPage(const TFormatPage& page) {
  if (page_view_) page_view_->ShowFormatPage(page);
}

void TQtUi::FocusStopButton() {
  if (page_view_) page_view_->FocusStopButton();
}

void OpenWebAddress(const std::string& address) {
  if (!StartedOnBehalfOfUser()) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
  } else if (!StartAsInvokingUser({"xdg-open", address})) {
    Ui().ShowMessage(address, kProgramTitle, TMessageIcon::Information);
  }
}

bool StartUserProgram(const QString& path) {
  if (StartedOnBehalfOfUser()) return StartAsInvokingUser({path.toStdString()});
  return QProcess::startDetached(path, {});
}

}  // namespace quarnel
