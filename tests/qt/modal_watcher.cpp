#include "qt/modal_watcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>

namespace ventrel::test {
namespace {

constexpr int kLookEveryMs = 10;

}  // namespace

ModalWatcher::ModalWatcher(Handler handler) : handler_(std::move(handler)) {
  QObject::connect(&timer_, &QTimer::timeout, [this] { Look(); });
  timer_.start(kLookEveryMs);
}

void ModalWatcher::Look() {
  QWidget* modal = QApplication::activeModalWidget();
  // Each watcher keeps its own mark, so that two never hide a window from each other.
  const QByteArray seen =
      "ventrel_test_seen_" + QByteArray::number(reinterpret_cast<quintptr>(this));
  if (modal == nullptr || !modal->isVisible() || modal->property(seen.constData()).toBool()) {
    return;
  }
  modal->setProperty(seen.constData(), true);
  // Later, from the event loop: the handler may open another modal window, whose own loop must
  // find this timer free to fire again.
  QPointer<QWidget> window(modal);
  QTimer::singleShot(0, modal, [this, window] {
    if (window) {
      handler_(*window);
    }
  });
}

BoxCloser::BoxCloser()
    : watcher_([this](QWidget& window) {
        auto* box = qobject_cast<QMessageBox*>(&window);
        if (box == nullptr) {
          if (others) {
            others(window);
          }
          return;
        }
        boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->textFormat(),
                         box->parentWidget(), box->isModal()});
        box->button(QMessageBox::Ok)->click();
      }) {}

}  // namespace ventrel::test
