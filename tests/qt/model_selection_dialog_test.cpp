#include "ui/qt/model_selection_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <optional>

#include "config/ventrel_conf_dlg.h"
#include "qt/modal_watcher.h"
#include "support/recording_platform.h"
#include "support/temp_dir.h"

namespace ventrel {
namespace {

const char kFullCatalogue[] =
    "[Model]\nManufacturer=Dremont\n[VentrelV1]\nDISPLAY=Ventrel 2D\n"
    "[Ventrel3DV1]\nDISPLAY=Ventrel 3D v1\n[Ventrel3DV2]\nDISPLAY=Ventrel 3D v2\n";
const char kImproperValue[] = "Error: CUsbConfDlg::SetModel improper value!";

using Entries = std::vector<std::pair<QString, int>>;

// A local Dremont layout in a temporary folder, the configuration opened on it, and the real
// dialog on the offscreen screen. Every box that shows is closed and noted.
class DialogTest : public testing::Test {
 protected:
  DialogTest() {
    platform_.local_base_folder = dir_.Path("local");
    platform_.exe_path = dir_.Path("local/VentrelConf");
    test::WriteFile(platform_.exe_path, "exe");
  }

  std::string Board() const { return dir_.Path("local/Zorvik - LAN PANORAMIC/VENTREL_DLL.INI"); }
  std::string Catalogue() const {
    return dir_.Path("local/Zorvik - LAN PANORAMIC/VentrelConf.ini");
  }

  // Lays the files out (a null board: none) and opens the dialog on them.
  void Open(const char* board, const char* catalogue = kFullCatalogue) {
    test::WriteFile(Catalogue(), catalogue);
    if (board != nullptr) {
      test::WriteFile(Board(), board);
    }
    dialog_.reset();
    config_.emplace();
    dialog_.emplace(*config_);
    dialog_->show();
    dialog_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&*dialog_));
  }

  QComboBox& List() const { return *dialog_->findChild<QComboBox*>("models"); }
  QPushButton& OkButton() const { return *dialog_->findChild<QPushButton*>("ok"); }

  Entries ListEntries() const {
    Entries entries;
    for (int i = 0; i < List().count(); ++i) {
      entries.emplace_back(List().itemText(i), List().itemData(i).toInt());
    }
    return entries;
  }

  // Presses a key where the user's keys go: the focused widget.
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : &*dialog_, key, modifiers);
  }

  void Type(const QString& text) { QTest::keyClicks(List().lineEdit(), text); }

  test::TempDir dir_;
  test::RecordingPlatform platform_;
  test::BoxCloser boxes_;
  std::optional<CVentrelConfDlg> config_;
  std::optional<ModelSelectionDialog> dialog_;
};

TEST_F(DialogTest, LooksAsTheTemplateSays) {
  Open("[BOARD]\nTYPE=200\n");
  EXPECT_EQ(dialog_->windowTitle(), "VentrelConf");
  EXPECT_EQ(dialog_->size(), QSize(269, 110));
  EXPECT_TRUE(List().isEditable());
  EXPECT_EQ(List().insertPolicy(), QComboBox::NoInsert);
  EXPECT_EQ(OkButton().text(), "OK");
  EXPECT_TRUE(OkButton().isDefault());
  EXPECT_EQ(dialog_->findChildren<QPushButton*>().size(), 1) << "OK and no Cancel";
  const QList<QSize> sizes = dialog_->windowIcon().availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(16, 16)));
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
  EXPECT_FALSE(dialog_->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(DialogTest, IsCentredOnThePrimaryScreen) {
  Open("[BOARD]\nTYPE=200\n");
  const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
  const QPoint centre = dialog_->frameGeometry().center();
  EXPECT_LE(std::abs(centre.x() - screen.x()), 1);
  EXPECT_LE(std::abs(centre.y() - screen.y()), 1);
}

TEST_F(DialogTest, ListsWhatTheCatalogueOffersInDisplayOrder) {
  const struct {
    const char* name;
    const char* catalogue;
    Entries expected;
  } cases[] = {
      {"full",
       kFullCatalogue,
       {{"Ventrel 2D", 200}, {"Ventrel 3D v1", 300}, {"Ventrel 3D v2", 301}}},
      {"catalogue_order_is_not_display_order",
       "[Ventrel3DV2]\nDISPLAY=c\n[Ventrel3DV1]\nDISPLAY=b\n[VentrelV1]\nDISPLAY=a\n",
       {{"a", 200}, {"b", 300}, {"c", 301}}},
      {"2d_hidden",
       "[VentrelV1]\nDISPLAY=ECHEC\n[Ventrel3DV1]\nDISPLAY=b\n[Ventrel3DV2]\nDISPLAY=c\n",
       {{"b", 300}, {"c", 301}}},
      {"3d_v1_missing",
       "[VentrelV1]\nDISPLAY=a\n[Ventrel3DV2]\nDISPLAY=c\n",
       {{"a", 200}, {"c", 301}}},
      {"markup_is_text", "[VentrelV1]\nDISPLAY=<b>bold</b>\n", {{"<b>bold</b>", 200}}},
      {"empty", "[Model]\nManufacturer=Dremont\n", {}},
  };
  for (const auto& c : cases) {
    Open("[BOARD]\nTYPE=999\n", c.catalogue);
    EXPECT_EQ(ListEntries(), c.expected) << c.name;
  }
  EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(DialogTest, WithoutACatalogueTheListIsEmpty) {
  Open(nullptr);  // no board file: the catalogue is not even looked for
  EXPECT_EQ(ListEntries(), Entries{});
  EXPECT_EQ(platform_.Texts(), std::vector<std::string>{"File " + Board() + " not found !"});
}

TEST_F(DialogTest, PreselectsTheCurrentModel) {
  const char kNo2d[] = "[Ventrel3DV1]\nDISPLAY=b\n[Ventrel3DV2]\nDISPLAY=c\n";
  const struct {
    const char* board;
    const char* catalogue;
    int index;
    const char* text;
  } cases[] = {
      {"[BOARD]\nTYPE=200\n", kFullCatalogue, 0, "Ventrel 2D"},
      {"[BOARD]\nTYPE=300\n", kFullCatalogue, 1, "Ventrel 3D v1"},
      {"[BOARD]\nTYPE=300\nTYPE_SUB=300\n", kFullCatalogue, 1, "Ventrel 3D v1"},
      {"[BOARD]\nTYPE=300\nTYPE_SUB=301\n", kFullCatalogue, 2, "Ventrel 3D v2"},
      {"[BOARD]\nTYPE=301\n", kFullCatalogue, 1, "Ventrel 3D v1"},
      {"[BOARD]\nTYPE=200\nTYPE_SUB=301\n", kFullCatalogue, 0, "Ventrel 2D"},
      {"[BOARD]\nTYPE=250\n", kFullCatalogue, -1, ""},
      {"[BOARD]\nTYPE=300\nTYPE_SUB=250\n", kFullCatalogue, -1, ""},
      {"[BOARD]\nOTHER=1\n", kFullCatalogue, -1, ""},
      {"[BOARD]\nTYPE=200\n", kNo2d, -1, ""},
      {"[BOARD]\nTYPE=300\nTYPE_SUB=301\n", kNo2d, 1, "c"},
  };
  for (const auto& c : cases) {
    Open(c.board, c.catalogue);
    EXPECT_EQ(List().currentIndex(), c.index) << c.board;
    EXPECT_EQ(List().currentText(), c.text) << c.board;
  }
}

TEST_F(DialogTest, OkWritesTheChosenModel) {
  const char kCrlf[] = "[NET]\r\nA=1\r\n[BOARD]\r\nTYPE=200\r\n";
  const struct {
    const char* board;
    int downs;  // Down presses in the list (negative: Up)
    bool by_enter;
    const char* expected;
  } cases[] = {
      {kCrlf, 0, true, "[NET]\r\nA=1\r\n[BOARD]\r\nTYPE=200\r\n"},
      {kCrlf, 1, false, "[NET]\r\nA=1\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=300\r\n"},
      {kCrlf, 2, true, "[NET]\r\nA=1\r\n[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n"},
      {"[BOARD]\nTYPE=300\nTYPE_SUB=301\n", -2, false, "[BOARD]\nTYPE=200\nTYPE_SUB=301\n"},
      {"[BOARD]\nTYPE=300\nTYPE_SUB=301\n", -1, true, "[BOARD]\nTYPE=300\nTYPE_SUB=300\n"},
      {"[BOARD]\nX=1\n", 1, true, "[BOARD]\nX=1\nTYPE=200\n"},  // from no selection to the first
  };
  for (const auto& c : cases) {
    Open(c.board);
    for (int i = 0; i < std::abs(c.downs); ++i) {
      Press(c.downs > 0 ? Qt::Key_Down : Qt::Key_Up);
    }
    if (c.by_enter) {
      Press(Qt::Key_Return);
    } else {
      QTest::mouseClick(&OkButton(), Qt::LeftButton);
    }
    EXPECT_EQ(dialog_->result(), QDialog::Accepted) << c.board << c.downs;
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(test::ReadFile(Board()), c.expected) << c.board << c.downs;
  }
  EXPECT_TRUE(boxes_.boxes.empty());
  EXPECT_TRUE(platform_.messages.empty());
}

TEST_F(DialogTest, OkWithNothingSelectedShowsTheMessageAndWritesNothing) {
  const std::string board = "[BOARD]\nTYPE=250\n";
  for (const bool by_enter : {false, true}) {
    boxes_.boxes.clear();
    Open(board.c_str());
    ASSERT_EQ(List().currentIndex(), -1);
    if (by_enter) {
      Press(Qt::Key_Return);
    } else {
      QTest::mouseClick(&OkButton(), Qt::LeftButton);
    }
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    const test::SeenBox& box = boxes_.boxes.front();
    EXPECT_EQ(box.text, kImproperValue);
    EXPECT_EQ(box.caption, "VentrelConf");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.parent, &*dialog_) << "owned by the dialog";
    EXPECT_TRUE(box.modal);
    EXPECT_FALSE(dialog_->isVisible()) << "the dialog closes all the same";
    EXPECT_EQ(test::ReadFile(Board()), board);
  }
}

TEST_F(DialogTest, OkOnAnEmptyListShowsTheMessage) {
  Open("[BOARD]\nTYPE=200\n", "[Model]\nManufacturer=Dremont\n");
  Press(Qt::Key_Return);
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes.front().text, kImproperValue);
  EXPECT_EQ(test::ReadFile(Board()), "[BOARD]\nTYPE=200\n");
}

TEST_F(DialogTest, TypedTextIsNeverWritten) {
  const struct {
    const char* name;
    const char* board;
    const char* typed;
    bool by_enter;
    const char* expected;  // null: unchanged, after the message
  } cases[] = {
      {"over_the_selection_then_ok", "[BOARD]\nTYPE=300\n", "Ventrel 9D", false, nullptr},
      {"over_the_selection_then_enter", "[BOARD]\nTYPE=300\n", "Ventrel 9D", true, nullptr},
      {"a_number", "[BOARD]\nTYPE=250\n", "301", true, nullptr},
      {"an_entry_name_chooses_that_entry", "[BOARD]\nTYPE=250\n", "Ventrel 3D v2", true,
       "[BOARD]\nTYPE=300\nTYPE_SUB=301\n"},
  };
  for (const auto& c : cases) {
    boxes_.boxes.clear();
    Open(c.board);
    List().lineEdit()->selectAll();
    Type(c.typed);
    if (c.by_enter) {
      Press(Qt::Key_Return);
    } else {
      QTest::mouseClick(&OkButton(), Qt::LeftButton);
    }
    EXPECT_EQ(List().count(), 3) << c.name << ": the typed text became no entry";
    EXPECT_FALSE(dialog_->isVisible()) << c.name;
    if (c.expected == nullptr) {
      EXPECT_EQ(test::ReadFile(Board()), c.board) << c.name;
      ASSERT_EQ(boxes_.boxes.size(), 1u) << c.name;
      EXPECT_EQ(boxes_.boxes.front().text, kImproperValue) << c.name;
    } else {
      EXPECT_EQ(test::ReadFile(Board()), c.expected) << c.name;
      EXPECT_TRUE(boxes_.boxes.empty()) << c.name;
    }
  }
}

TEST_F(DialogTest, EscapeAndCloseWriteNothing) {
  const std::string board = "[BOARD]\r\nTYPE=300\r\nTYPE_SUB=301\r\n";
  const struct {
    const char* name;
    std::function<void()> cancel;
  } cases[] = {
      {"escape", [this] { Press(Qt::Key_Escape); }},
      {"escape_after_choosing",
       [this] {
         Press(Qt::Key_Up);
         Press(Qt::Key_Escape);
       }},
      {"close_box", [this] { dialog_->close(); }},
      {"close_after_typing",
       [this] {
         Type("x");
         dialog_->close();
       }},
  };
  for (const auto& c : cases) {
    Open(board.c_str());
    c.cancel();
    EXPECT_FALSE(dialog_->isVisible()) << c.name;
    EXPECT_EQ(dialog_->result(), QDialog::Rejected) << c.name;
    EXPECT_EQ(test::ReadFile(Board()), board) << c.name;
  }
  EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(DialogTest, BoxesAreOwnedByTheDialogOnlyWhileItIsUp) {
  Open("[BOARD]\nTYPE=200\n");
  EXPECT_NE(&CurrentMessageSink(), &platform_);
  EXPECT_EQ(&CurrentFolders(), &platform_) << "the folders stay the platform's";
  ShowErrorBox("while up");
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes.front().parent, &*dialog_);
  EXPECT_EQ(boxes_.boxes.front().caption, "VentrelConf");

  dialog_->reject();
  EXPECT_EQ(&CurrentMessageSink(), &platform_);
  ShowErrorBox("after");
  EXPECT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(platform_.Texts(), std::vector<std::string>{"after"});
}

TEST_F(DialogTest, ModalRunOwnsItsBoxes) {
  test::WriteFile(Catalogue(), kFullCatalogue);
  test::WriteFile(Board(), "[BOARD]\nOTHER=1\n");
  CVentrelConfDlg config;
  ModelSelectionDialog dialog(config);
  int dialogs_seen = 0;
  boxes_.others = [&](QWidget& window) {
    ++dialogs_seen;
    QTest::keyClick(&window, Qt::Key_Return);
  };
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_EQ(dialogs_seen, 1);
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  EXPECT_EQ(boxes_.boxes.front().text, kImproperValue);
  EXPECT_EQ(boxes_.boxes.front().parent, &dialog);
  EXPECT_EQ(test::ReadFile(Board()), "[BOARD]\nOTHER=1\n");
}

class HelpTest : public DialogTest {
 protected:
  HelpTest() { QDesktopServices::setUrlHandler("file", &viewer_, "Open"); }
  ~HelpTest() override { QDesktopServices::unsetUrlHandler("file"); }
  std::string Page() const { return dir_.Path("local/VentrelConf.html"); }

  test::PageRecorder viewer_;
};

TEST_F(HelpTest, F1OpensThePageBesideTheExecutable) {
  test::WriteFile(Page(), "<html></html>");
  Open("[BOARD]\nTYPE=200\n");
  Press(Qt::Key_F1);
  ASSERT_EQ(viewer_.pages.size(), 1u);
  EXPECT_EQ(viewer_.pages.front(), QUrl::fromLocalFile(QString::fromStdString(Page())));
  EXPECT_TRUE(dialog_->isVisible());
  EXPECT_TRUE(boxes_.boxes.empty());
}

TEST_F(HelpTest, F1WithAModifierDoesNothing) {
  test::WriteFile(Page(), "<html></html>");
  Open("[BOARD]\nTYPE=200\n");
  for (const Qt::KeyboardModifiers modifiers :
       {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
    Press(Qt::Key_F1, modifiers);
  }
  EXPECT_TRUE(viewer_.pages.empty());
  EXPECT_TRUE(boxes_.boxes.empty());
  EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(HelpTest, AMissingPageGivesTheWarningBox) {
  Open("[BOARD]\nTYPE=200\n");
  Press(Qt::Key_F1);
  EXPECT_TRUE(viewer_.pages.empty());
  ASSERT_EQ(boxes_.boxes.size(), 1u);
  const test::SeenBox& box = boxes_.boxes.front();
  EXPECT_EQ(box.text, "Failed to launch help.");
  EXPECT_EQ(box.caption, "VentrelConf");
  EXPECT_EQ(box.icon, QMessageBox::Warning);
  EXPECT_EQ(box.parent, &*dialog_);
  EXPECT_TRUE(dialog_->isVisible()) << "help never closes the dialog";
  EXPECT_EQ(test::ReadFile(Board()), "[BOARD]\nTYPE=200\n");
}

}  // namespace
}  // namespace ventrel
