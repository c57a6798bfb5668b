#include "app/qt_prompter.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>

namespace qm::app {
namespace {

using archive::PromptButton;
using archive::PromptButtons;

constexpr int kMaxPasswordLength = 255;

// Masks typed characters with '*' whatever the platform style would use.
class AsteriskStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

// Multiplies and divides with rounding, as dialog-unit conversions do.
int MulDiv(int value, int numerator, int denominator) {
  return static_cast<int>((static_cast<long long>(value) * numerator * 2 + denominator) /
                          (2LL * denominator));
}

}  // namespace

QMessageBox::StandardButtons StandardButtonsOf(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::kYesNoNoToAllYesToAll:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::NoToAll | QMessageBox::YesToAll;
    case PromptButtons::kAbortRetryIgnore:
      return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case PromptButtons::kAbortIgnore:
      return QMessageBox::Abort | QMessageBox::Ignore;
    case PromptButtons::kOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

PromptButton AnswerOf(QMessageBox::StandardButton pressed) {
  switch (pressed) {
    case QMessageBox::Ok:
      return PromptButton::kOk;
    case QMessageBox::Cancel:
      return PromptButton::kCancel;
    case QMessageBox::Yes:
      return PromptButton::kYes;
    case QMessageBox::No:
      return PromptButton::kNo;
    case QMessageBox::YesToAll:
      return PromptButton::kYesToAll;
    case QMessageBox::NoToAll:
      return PromptButton::kNoToAll;
    case QMessageBox::Abort:
      return PromptButton::kAbort;
    case QMessageBox::Retry:
      return PromptButton::kRetry;
    case QMessageBox::Ignore:
      return PromptButton::kIgnore;
    default:
      return PromptButton::kNone;
  }
}

PromptButton QtPrompter::Confirm(std::u16string_view text, PromptButtons buttons) {
  QMessageBox box(QMessageBox::Question, QGuiApplication::applicationName(),
                  QString::fromStdU16String(std::u16string(text)), StandardButtonsOf(buttons),
                  parent_);
  return AnswerOf(static_cast<QMessageBox::StandardButton>(box.exec()));
}

bool QtPrompter::AskPassword(std::u16string_view caption, std::u16string_view label,
                             std::u16string& value) {
  PasswordDialog dialog(QString::fromStdU16String(std::u16string(caption)),
                        QString::fromStdU16String(std::u16string(label)),
                        QString::fromStdU16String(value), parent_);
  if (dialog.exec() != QDialog::Accepted) return false;
  value = dialog.Value().toStdU16String();
  return true;
}

PasswordDialog::PasswordDialog(const QString& caption, const QString& prompt, const QString& value,
                               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setWindowTitle(caption);
  const QFontMetrics metrics(font());
  const int unit_x = metrics.horizontalAdvance(
                         QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                     52;
  const int unit_y = metrics.height();
  auto x = [unit_x](int units) { return MulDiv(units, unit_x, 4); };
  auto y = [unit_y](int units) { return MulDiv(units, unit_y, 8); };
  setFixedSize(x(180), y(63));

  label_ = new QLabel(prompt, this);
  label_->move(x(8), y(8));
  label_->adjustSize();

  edit_ = new QLineEdit(value, this);
  static AsteriskStyle asterisks;
  edit_->setStyle(&asterisks);
  edit_->setEchoMode(QLineEdit::Password);
  edit_->setMaxLength(kMaxPasswordLength);
  edit_->setGeometry(label_->x(), y(19), x(164), edit_->sizeHint().height());
  edit_->selectAll();
  label_->setBuddy(edit_);

  ok_ = new QPushButton(tr("OK"), this);
  ok_->setGeometry(x(38), y(41), x(50), y(14));
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  cancel_ = new QPushButton(tr("Cancel"), this);
  cancel_->setGeometry(x(92), y(41), x(50), y(14));
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);  // Esc rejects too

  edit_->setFocus();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

QString PasswordDialog::Value() const {
  return edit_->text();
}

}  // namespace qm::app
