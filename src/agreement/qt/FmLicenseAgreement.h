// The agreement window, shown by RunAgreement. Anything but the agree button
// ends the program.
#pragma once

#include <QDialog>

#include "agreement/LicenseAgreement.h"

class QPlainTextEdit;
class QPushButton;

namespace quarnel {

class TfmLicenseAgreement : public QDialog, public TAgreementView {
  Q_OBJECT

 public:
  explicit TfmLicenseAgreement(QWidget* parent = nullptr);

  void ShowModal() override;

  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;

  void done(int result) override;

 private:
  void Button1Click();
  void Button2Click();
};

}  // namespace quarnel
