// The seam's form of text fields on Qt: a line of text, one labelled line
// edit per field, OK and Cancel.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/qt/QtUi.h"

namespace quarnel {

bool TQtUi::FieldsDialog(const TFieldsDialogRequest& request, std::vector<std::string>* values) {
  QDialog dialog(owner_);
  dialog.setObjectName("FieldsDialog");
  dialog.setWindowTitle(ToQt(request.Title));
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QLabel(ToQt(request.Text), &dialog);
  text->setTextFormat(Qt::PlainText);
  text->setWordWrap(true);
  layout->addWidget(text);
  auto* form = new QFormLayout;
  std::vector<QLineEdit*> edits;
  values->resize(request.Labels.size());
  for (size_t i = 0; i < request.Labels.size(); ++i) {
    auto* edit = new QLineEdit(ToQt((*values)[i]), &dialog);
    edit->setObjectName(QString("field%1").arg(i));
    if (request.MaxLength > 0) edit->setMaxLength(request.MaxLength);
    if (request.FieldWidth > 0) edit->setMinimumWidth(request.FieldWidth);
    form->addRow(ToQt(request.Labels[i]), edit);
    edits.push_back(edit);
  }
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(&dialog);
  QPushButton* ok = buttons->addButton(ToQt(request.OkCaption), QDialogButtonBox::AcceptRole);
  ok->setObjectName("ok");
  ok->setDefault(true);
  buttons->addButton(ToQt(request.CancelCaption), QDialogButtonBox::RejectRole)
      ->setObjectName("cancel");
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (!edits.empty()) edits.front()->setFocus();
  if (dialog.exec() != QDialog::Accepted) return false;
  for (size_t i = 0; i < edits.size(); ++i) (*values)[i] = edits[i]->text().toStdString();
  return true;
}

}  // namespace quarnel
