#include "ui/qt/message_box.h"

#include <QMessageBox>
#include <QString>

namespace ventrel {

void ShowMessageBox(QWidget* owner, const std::string& caption, const std::string& text,
                    MessageIcon icon) {
  QMessageBox box(icon == MessageIcon::kWarning ? QMessageBox::Warning : QMessageBox::Critical,
                  QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                  owner);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace ventrel
