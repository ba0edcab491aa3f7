#include "ui/qt/message_box.h"

#include <gtest/gtest.h>

#include <QDialog>

#include "qt/modal_watcher.h"

namespace ventrel {
namespace {

TEST(MessageBoxTest, ShowsTheTextAsAModalBox) {
  QDialog owner;
  const struct {
    QWidget* owner;
    MessageIcon icon;
    QMessageBox::Icon shown;
  } cases[] = {
      {nullptr, MessageIcon::kError, QMessageBox::Critical},
      {nullptr, MessageIcon::kWarning, QMessageBox::Warning},
      {&owner, MessageIcon::kError, QMessageBox::Critical},
      {&owner, MessageIcon::kWarning, QMessageBox::Warning},
  };
  for (const auto& c : cases) {
    test::BoxCloser boxes;
    ShowMessageBox(c.owner, "VentrelConf", "File /x/VENTREL_DLL.INI not found !", c.icon);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    const test::SeenBox& box = boxes.boxes.front();
    EXPECT_EQ(box.caption, "VentrelConf");
    EXPECT_EQ(box.text, "File /x/VENTREL_DLL.INI not found !");
    EXPECT_EQ(box.icon, c.shown);
    EXPECT_EQ(box.parent, c.owner);
    EXPECT_TRUE(box.modal);
  }
}

TEST(MessageBoxTest, MarkupInAPathIsShownAsText) {
  test::BoxCloser boxes;
  ShowMessageBox(nullptr, "Other", "File /tmp/<b>x</b>/VENTREL_DLL.INI not found !",
                 MessageIcon::kError);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes.front().format, Qt::PlainText);
  EXPECT_EQ(boxes.boxes.front().text, "File /tmp/<b>x</b>/VENTREL_DLL.INI not found !");
  EXPECT_EQ(boxes.boxes.front().caption, "Other");
}

}  // namespace
}  // namespace ventrel
