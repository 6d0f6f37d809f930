#include "agreement/qt/FmLicenseAgreement.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "agreement/LicenseAgreement.h"
#include "ui/qt/VistaFuncs.h"

namespace quarnel {

TfmLicenseAgreement::TfmLicenseAgreement(QWidget* parent) : QDialog(parent) {
  setObjectName("fmLicenseAgreement");
  setWindowTitle(QString::fromUtf8("许可协议"));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setFont(NamedFont("Tahoma", 8));
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setPlainText(QString::fromUtf8(kAgreementText));
  Memo1->setGeometry(8, 8, 595, 313);
  Button1 = new QPushButton(QString::fromUtf8("同意"), this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(393, 336, 75, 25);
  Button2 = new QPushButton(QString::fromUtf8("不同意"), this);
  Button2->setObjectName("Button2");
  Button2->setGeometry(497, 336, 75, 25);
  connect(Button1, &QPushButton::clicked, this, &TfmLicenseAgreement::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfmLicenseAgreement::Button2Click);
  setFixedSize(612, 383);
  CentreOnScreen(this);
}

void TfmLicenseAgreement::ShowModal() { exec(); }

void TfmLicenseAgreement::Button1Click() {
  AcceptAgreement();
  close();
}

void TfmLicenseAgreement::Button2Click() { close(); }

void TfmLicenseAgreement::done(int result) {
  QDialog::done(result);
  AgreementWindowClosed();
}

}  // namespace quarnel
