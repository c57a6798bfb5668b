#pragma once

#include <QDialog>
#include <QMessageBox>

#include "archive/prompter.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace qm::app {

// The engine's questions as the desktop's modal dialogs.
class QtPrompter final : public archive::Prompter {
 public:
  explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
  archive::PromptButton Confirm(std::u16string_view text, archive::PromptButtons buttons) override;
  bool AskPassword(std::u16string_view caption, std::u16string_view label,
                   std::u16string& value) override;

 private:
  QWidget* parent_;
};

// The buttons a question shows, and what a pressed button answers.
QMessageBox::StandardButtons StandardButtonsOf(archive::PromptButtons buttons);
archive::PromptButton AnswerOf(QMessageBox::StandardButton pressed);

// The password dialog, laid out in dialog units of its font (a quarter of the average letter
// width across, an eighth of the letter height down), like the desktop's own small dialogs.
class PasswordDialog : public QDialog {
  Q_OBJECT

 public:
  PasswordDialog(const QString& caption, const QString& prompt, const QString& value,
                 QWidget* parent = nullptr);
  QString Value() const;
  QLineEdit* Edit() const { return edit_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  QLabel* label_;
  QLineEdit* edit_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace qm::app
