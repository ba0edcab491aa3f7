#include "ui/qt/application_icon.h"

namespace ventrel {

QIcon ApplicationIcon() {
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/ventrel_conf_16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/icons/ventrel_conf_32.png"), QSize(32, 32));
  return icon;
}

}  // namespace ventrel
