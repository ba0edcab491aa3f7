// Drives the modal windows a test cannot reach from its own code, because exec() only returns when
// they close: each window that becomes the active modal one is handed to the handler once.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <vector>

namespace ventrel::test {

class ModalWatcher {
 public:
  using Handler = std::function<void(QWidget&)>;
  explicit ModalWatcher(Handler handler);
  ModalWatcher(const ModalWatcher&) = delete;
  ModalWatcher& operator=(const ModalWatcher&) = delete;

 private:
  void Look();

  Handler handler_;
  QTimer timer_;
};

// What a message box showed when it was closed.
struct SeenBox {
  QString caption;
  QString text;
  QMessageBox::Icon icon;
  Qt::TextFormat format;
  QWidget* parent;
  bool modal;
};

// Closes every message box with its OK button, after noting what it showed. Any other modal
// window goes to `others`, when it is set.
class BoxCloser {
 public:
  BoxCloser();
  std::vector<SeenBox> boxes;
  ModalWatcher::Handler others;

 private:
  ModalWatcher watcher_;
};

// Stands in for the desktop's viewer: records the pages it is asked to open.
class PageRecorder : public QObject {
  Q_OBJECT

 public:
  std::vector<QUrl> pages;

 public slots:
  void Open(const QUrl& url) { pages.push_back(url); }
};

}  // namespace ventrel::test
