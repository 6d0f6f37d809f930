// The agreement window: shown modally while it is created, unless this user
// has accepted this version already. Anything but the agree button ends the
// program.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace quarnel {

/// The agreement shown in Memo1.
extern const char* const kAgreementText;

class TfmLicenseAgreement : public QDialog {
  Q_OBJECT

 public:
  /// Builds the window and shows it modally when the agreement is not yet
  /// accepted; returns after it has closed.
  explicit TfmLicenseAgreement(QWidget* parent = nullptr);

  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;

  void done(int result) override;

 private:
  void FormCreate();
  void Button1Click();
  void Button2Click();
};

}  // namespace quarnel
