#include "ui/qt/model_selection_dialog.h"

#include <algorithm>

#include <QComboBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

#include "config/ventrel_conf_dlg.h"
#include "ui/qt/application_icon.h"
#include "ui/qt/owned_box_sink.h"
#include "ui/qt/texts.h"
#include "utility/platform/folders.h"
#include "utility/platform/message_sink.h"
#include "utility/platform/path.h"
#include "utility/store/file_store.h"

namespace ventrel {
namespace {

// Template 102 is 179 x 68 dialog units: these pixels at 96 dpi, and the margins to match.
constexpr QSize kDialogSize(269, 110);
constexpr int kMargin = 11;
constexpr int kOkWidth = 75;

QString FromText(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool OpenHelpPage() {
  const std::string page = HelpPagePath();
  // The desktop's launcher reports success as soon as it starts, page or no page.
  if (!IsExistingFile(page)) {
    return false;
  }
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(page)));
}

}  // namespace

ModelSelectionDialog::ModelSelectionDialog(CVentrelConfDlg& config, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      config_(config),
      list_(new QComboBox(this)),
      ok_(new QPushButton(FromText(texts::kOkButton), this)) {
  setWindowTitle(FromText(texts::kDialogTitle));
  setWindowIcon(ApplicationIcon());

  list_->setObjectName(QStringLiteral("models"));
  list_->setEditable(true);
  // Typed text is never an entry of its own, so it can never be written.
  list_->setInsertPolicy(QComboBox::NoInsert);
  ok_->setObjectName(QStringLiteral("ok"));
  ok_->setDefault(true);
  ok_->setMinimumWidth(kOkWidth);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout->addWidget(list_);
  layout->addStretch();
  layout->addLayout(buttons);

  connect(ok_, &QPushButton::clicked, this, &ModelSelectionDialog::Ok);

  FillList();
  setFixedSize(kDialogSize);
  CentreOnPrimaryScreen();
}

ModelSelectionDialog::~ModelSelectionDialog() = default;

ModelCode ModelSelectionDialog::SelectedModel() const {
  const int index = list_->currentIndex();
  // Text typed over the entry deselects it, as in a Windows combo box: OK writes only an entry
  // that the field shows, never one hidden behind other text.
  if (index < 0 || list_->currentText() != list_->itemText(index)) {
    return kNoModel;
  }
  return list_->itemData(index).toInt();
}

void ModelSelectionDialog::showEvent(QShowEvent* event) {
  if (!box_owner_) {
    box_owner_ = std::make_unique<OwnedBoxSink>(*this);
    CentreOnPrimaryScreen();  // now with the frame round the window
  }
  QDialog::showEvent(event);
}

void ModelSelectionDialog::hideEvent(QHideEvent* event) {
  QDialog::hideEvent(event);
  if (!isVisible()) {
    box_owner_.reset();
  }
}

void ModelSelectionDialog::keyPressEvent(QKeyEvent* event) {
  constexpr Qt::KeyboardModifiers kHeld = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
  if (event->key() == Qt::Key_F1 && (event->modifiers() & kHeld) == 0) {
    ShowHelp();
    return;
  }
  QDialog::keyPressEvent(event);
}

void ModelSelectionDialog::FillList() {
  const ModelCode current = config_.ReadCurrentModel();
  list_->clear();
  int selected = -1;
  for (const DisplayEntry& entry : config_.ReadDisplayNames()) {
    list_->addItem(QString::fromStdString(entry.text), entry.code);
    if (entry.code == current) {
      selected = list_->count() - 1;
    }
  }
  // The first entry added selects itself; with no match nothing is selected and the field is
  // empty.
  list_->setCurrentIndex(selected);
}

void ModelSelectionDialog::CentreOnPrimaryScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    return;
  }
  // The window with its frame, as far as the platform knows the frame yet.
  const QSize size = frameGeometry().size();
  const QRect area = screen->availableGeometry();
  const QPoint centre = area.center();
  const int x = centre.x() - size.width() / 2;
  const int y = centre.y() - size.height() / 2;
  // Kept inside the work area, its top left corner first.
  move(std::max(area.left(), std::min(x, area.right() + 1 - size.width())),
       std::max(area.top(), std::min(y, area.bottom() + 1 - size.height())));
}

void ModelSelectionDialog::Ok() {
  config_.SetModel(SelectedModel());
  accept();
}

void ModelSelectionDialog::ShowHelp() {
  if (!OpenHelpPage()) {
    CurrentMessageSink().ShowMessage(ApplicationName(), std::string(texts::kHelpFailed),
                                     MessageIcon::kWarning);
  }
}

std::string HelpPagePath() {
  const std::string exe = CurrentFolders().ExePath();
  return exe.empty() ? std::string() : PathAppend(PathFolderPart(exe), texts::kHelpPage);
}

}  // namespace ventrel
