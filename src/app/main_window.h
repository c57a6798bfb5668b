#pragma once

#include <QWidget>
#include <exception>
#include <functional>

#include "app/name_changer.h"

class QLineEdit;

namespace qm::label {
class ShadowLabel;
}

namespace qm::app {

// The program's one window: an edit box with the player name and the decorative label.
// Closing the window saves the name; a failure to save keeps it open.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);

  // Runs the creation handler; a failure is shown and leaves the edit box as it was.
  void FormCreate();

  QLineEdit* Edit1() const { return edit1_; }

  // How failures reach the user; a message box unless replaced (tests replace it).
  std::function<void(std::exception_ptr)> ShowError;
  label::ShadowLabel* ShadowLabel1() const { return shadow_label1_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  label::ShadowLabel* shadow_label1_;
  QLineEdit* edit1_;
  NameChanger name_changer_;
};

// Shows an exception the way the application shows every failure: a message box with the
// application title, a stop icon and the exception's text.
void ShowException(std::exception_ptr error, QWidget* parent = nullptr);

}  // namespace qm::app
