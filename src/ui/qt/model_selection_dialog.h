// The window side of the model-selection dialog: the editable list of the models the catalogue
// offers, in display order, the current one preselected, and OK. Enter is OK; Escape and the
// close box cancel; F1 opens the help page. While it is on screen it owns the boxes.
#pragma once

#include <QDialog>
#include <memory>

#include "config/model_code.h"

class QComboBox;
class QPushButton;

namespace ventrel {

class CVentrelConfDlg;
class OwnedBoxSink;

class ModelSelectionDialog final : public QDialog {
  Q_OBJECT

 public:
  // Fills the list from `config`, which must outlive the dialog.
  explicit ModelSelectionDialog(CVentrelConfDlg& config, QWidget* parent = nullptr);
  ~ModelSelectionDialog() override;

  // The code OK writes: the selected entry's, or kNoModel when nothing is selected.
  ModelCode SelectedModel() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FillList();
  void CentreOnPrimaryScreen();
  void Ok();
  void ShowHelp();

  CVentrelConfDlg& config_;
  QComboBox* list_;
  QPushButton* ok_;
  std::unique_ptr<OwnedBoxSink> box_owner_;
};

// The help page's path: beside the executable.
std::string HelpPagePath();

}  // namespace ventrel
