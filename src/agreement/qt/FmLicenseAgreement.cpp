#include "agreement/qt/FmLicenseAgreement.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "agreement/LicenseAgreement.h"
#include "ui/Catalogue.h"
#include "ui/qt/VistaFuncs.h"

namespace quarnel {

using namespace agreement;

TfmLicenseAgreement::TfmLicenseAgreement(QWidget* parent) : QDialog(parent) {
  setObjectName("fmLicenseAgreement");
  setWindowTitle(QString::fromUtf8(kCaption));
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  SetFont(this, kFont);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setPlainText(QString::fromUtf8(kAgreementText));
  Memo1->setGeometry(RectOf(kMemo));
  Button1 = new QPushButton(QString::fromUtf8(kAgreeCaption), this);
  Button1->setObjectName("Button1");
  Button1->setGeometry(RectOf(kAgreeButton));
  Button2 = new QPushButton(QString::fromUtf8(kDisagreeCaption), this);
  Button2->setObjectName("Button2");
  Button2->setGeometry(RectOf(kDisagreeButton));
  connect(Button1, &QPushButton::clicked, this, &TfmLicenseAgreement::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TfmLicenseAgreement::Button2Click);
  setFixedSize(SizeOf(kClient));
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
