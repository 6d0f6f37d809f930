// The UI seam on Qt Widgets: message boxes for messages and both dialog
// forms, the event loop as the message pump, and the format page drawn by
// whichever window holds it.
#pragma once

#include <QString>

#include "ui/UiSeam.h"

class QMessageBox;
class QWidget;

namespace quarnel {

/// The window that draws the format page.
class TFormatPageView {
 public:
  virtual ~TFormatPageView() = default;
  /// Draws the page's state (position, look, captions, enabled controls).
  virtual void ShowFormatPage(const TFormatPage& page) = 0;
  virtual void FocusStopButton() = 0;
  virtual bool QuickWipeBoxChecked() const = 0;
  virtual bool VerifyBoxChecked() const = 0;
};

class TQtUi : public TUiSeam {
 public:
  /// The window that owns the task dialogs and draws the format page.
  void SetMainWindow(QWidget* owner, TFormatPageView* page);

  void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) override;
  int TaskDialog(const TTaskDialogRequest& request) override;
  int ClassicDialog(const TClassicDialogRequest& request) override;
  void ProcessMessages() override;

  void SetProgressPosition(int position) override;
  void SetProgressState(TProgressState state) override;
  void SetCaption(TFormatLabel label, const std::string& text) override;
  void SetControlEnabled(TFormatControl control, bool enabled) override;
  void FocusStop() override;
  bool QuickWipeChecked() override;
  bool VerifyChecked() override;

 private:
  void Redraw();

  QWidget* owner_ = nullptr;
  TFormatPageView* page_view_ = nullptr;
};

/// A core text as Qt shows it: UTF-8, with CR LF line ends made single.
QString ToQt(const std::string& text);

}  // namespace quarnel
