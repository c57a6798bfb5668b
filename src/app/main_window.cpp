#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>

#include "app/startup.h"
#include "label/shadow_label.h"

namespace qm::app {
namespace {

// The window is laid out in pixels at 96 dpi and scaled in proportion on other screens.
int Scaled(int pixels, double factor) {
  return static_cast<int>(pixels * factor + 0.5);
}

double ScaleFactor(const QWidget& widget) {
  const QScreen* screen = widget.screen();
  return screen ? screen->logicalDotsPerInch() / 96.0 : 1.0;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      ShowError([this](std::exception_ptr error) { ShowException(error, this); }) {
  const double scale = ScaleFactor(*this);
  setWindowTitle(tr("QuillMark Name Changer"));
  QFont font(QStringLiteral("Tahoma"));  // Qt substitutes a face where Tahoma is missing
  font.setPixelSize(Scaled(11, scale));
  // Whole-pixel glyph edges, as the desktop draws this font; the label's shadow is built
  // from these pixels.
  font.setHintingPreference(QFont::PreferFullHinting);
  setFont(font);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);
  setFixedSize(Scaled(219, scale), Scaled(52, scale));

  auto place = [scale](QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(Scaled(left, scale), Scaled(top, scale), Scaled(width, scale),
                        Scaled(height, scale));
  };
  shadow_label1_ = new label::ShadowLabel(this);
  place(shadow_label1_, 72, 35, 74, 21);
  shadow_label1_->SetCaption(tr("DrexoValmin"));  // after the geometry: it sizes itself
  edit1_ = new QLineEdit(this);
  place(edit1_, 8, 8, 201, 21);
  edit1_->setFocus();
}

void MainWindow::FormCreate() {
  try {
    const std::u16string name = name_changer_.FormCreate();
    edit1_->setText(QString::fromStdU16String(name));
  } catch (...) {
    ShowError(std::current_exception());
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  try {
    name_changer_.FormClose(edit1_->text().toStdU16String());
    event->accept();
  } catch (...) {
    ShowError(std::current_exception());
    event->ignore();
  }
}

void ShowException(std::exception_ptr error, QWidget* parent) {
  QMessageBox box(QMessageBox::Critical, QApplication::applicationName(),
                  QString::fromStdU16String(ExceptionDisplayText(error)), QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace qm::app
