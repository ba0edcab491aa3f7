// The least a Qt Widgets dialog costs to start: one QApplication and one QDialog laid out as the
// model-selection dialog is (an editable list of three models, an OK button), nothing else.
// dialog_start.py times VentrelConf's dialog against it.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QDialog dialog;
  dialog.setWindowTitle(QStringLiteral("VentrelConf"));
  auto* list = new QComboBox(&dialog);
  list->setEditable(true);
  list->addItems({QStringLiteral("Ventrel 2D"), QStringLiteral("Ventrel 3D (version 1)"),
                  QStringLiteral("Ventrel 3D (version 2)")});
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  ok->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(list);
  layout->addStretch();
  layout->addLayout(buttons);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  dialog.setFixedSize(269, 110);
  return dialog.exec() == QDialog::Accepted ? 0 : 1;
}
