#include "agreement/qt/FmLicenseAgreement.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "agreement/LicenseAgreement.h"
#include "ui/qt/VistaFuncs.h"

namespace quarnel {

const char* const kAgreementText =
    "Quarnel 4.40 - End-user agreement\n"
    "\n"
    "1. Quarnel erases drives. A low-level format writes zeros over the whole "
    "chosen drive, and a quick wipe over its first 10,240,000 bytes. Whatever "
    "was stored there cannot be recovered afterwards, by Quarnel or by any other "
    "program.\n"
    "\n"
    "2. You alone choose the drive and confirm the erase. Check the drive's "
    "model, serial number and size before you confirm, and keep a copy of every "
    "file you still need.\n"
    "\n"
    "3. Quarnel is given as it is, free of charge, without any warranty. Its "
    "makers are not liable for lost data, damaged drives or any other loss that "
    "comes from using it.\n"
    "\n"
    "4. You may use and copy Quarnel freely. You may not sell it or pass it on "
    "altered under its name.\n"
    "\n"
    "Press \"同意\" to accept this agreement and go on, or \"不同意\" to end the "
    "program.\n";

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
  FormCreate();
}

void TfmLicenseAgreement::FormCreate() {
  if (!AgreementAccepted()) exec();
}

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
