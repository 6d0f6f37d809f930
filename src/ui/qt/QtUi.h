// The UI seam on Qt Widgets: message boxes for messages and task dialogs,
// the event loop as the message pump, and the format page drawn by
// whichever window holds it.
#pragma once

#include <QString>

#include "ui/UiSeam.h"

class QMessageBox;
class QWidget;

namespace quarnel {

class TQtUi : public TUiSeam {
 public:
  /// The window that owns the task dialogs and draws the format page.
  void SetMainWindow(QWidget* owner, TFormatPageView* page);

  void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) override;
  int TaskDialog(const TTaskDialogRequest& request) override;
  /// Qt has the task dialog's parts on every system: the classic dialog of
  /// older hosts is never asked for.
  bool ShowsTaskDialogs() const override;
  bool FieldsDialog(const TFieldsDialogRequest& request, std::vector<std::string>* values) override;
  void ProcessMessages() override;

  void ShowFormatPage(const TFormatPage& page) override;
  void FocusStopButton() override;

 private:
  QWidget* owner_ = nullptr;
  TFormatPageView* page_view_ = nullptr;
};

/// Opens a web address in the user's browser. Started as root on a user's
/// behalf, the browser runs as that user, and where it cannot be started the
/// address is shown as text: nothing is opened with root's rights.
void OpenWebAddress(const std::string& address);

/// Starts the program `path` detached; on a user's behalf as that user only.
bool StartUserProgram(const QString& path);

/// A core text as Qt shows it: UTF-8, with CR LF line ends made single.
QString ToQt(const std::string& text);

}  // namespace quarnel
