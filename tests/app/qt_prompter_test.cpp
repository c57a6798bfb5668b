#include "app/qt_prompter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "qt_app.h"

namespace qm::app {
namespace {

using archive::PromptButton;
using archive::PromptButtons;

TEST(QtPrompter, EachQuestionShowsItsButtonsAndMapsTheAnswerBack) {
  struct Case {
    PromptButtons set;
    std::vector<QMessageBox::StandardButton> shown;
  };
  const Case cases[] = {
      {PromptButtons::kYesNoNoToAllYesToAll,
       {QMessageBox::Yes, QMessageBox::No, QMessageBox::NoToAll, QMessageBox::YesToAll}},
      {PromptButtons::kAbortRetryIgnore,
       {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore}},
      {PromptButtons::kAbortIgnore, {QMessageBox::Abort, QMessageBox::Ignore}},
      {PromptButtons::kOkCancel, {QMessageBox::Ok, QMessageBox::Cancel}},
  };
  for (const auto& c : cases) {
    QMessageBox::StandardButtons expected;
    for (auto button : c.shown) expected |= button;
    EXPECT_EQ(StandardButtonsOf(c.set), expected);
  }
  EXPECT_EQ(AnswerOf(QMessageBox::YesToAll), PromptButton::kYesToAll);
  EXPECT_EQ(AnswerOf(QMessageBox::NoToAll), PromptButton::kNoToAll);
  EXPECT_EQ(AnswerOf(QMessageBox::Retry), PromptButton::kRetry);
  EXPECT_EQ(AnswerOf(QMessageBox::NoButton), PromptButton::kNone);
}

TEST(PasswordDialog, MasksAndLimitsTheEntryAndAnswersOnlyOnOk) {
  testing::QtApp();
  {
    PasswordDialog dialog("Password for \"a.txt\"", "Enter password: ", "");
    EXPECT_EQ(dialog.windowTitle(), "Password for \"a.txt\"");
    EXPECT_EQ(dialog.Edit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.Edit()->maxLength(), 255);
    dialog.Edit()->setText(QString(300, 'p'));
    EXPECT_EQ(dialog.Edit()->text().size(), 255);
    EXPECT_TRUE(dialog.OkButton()->isDefault());
    EXPECT_LT(dialog.OkButton()->x(), dialog.CancelButton()->x());
  }
  QtPrompter prompter;
  std::u16string value = u"old";
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<PasswordDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->Edit()->setText("secret");
    dialog->OkButton()->click();
  });
  EXPECT_TRUE(prompter.AskPassword(u"Password for \"x\"", u"Enter password: ", value));
  EXPECT_EQ(value, u"secret");
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<PasswordDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->Edit()->setText("typed");
    dialog->CancelButton()->click();
  });
  EXPECT_FALSE(prompter.AskPassword(u"Password for \"x\"", u"Enter password: ", value));
  EXPECT_EQ(value, u"secret");
}

}  // namespace
}  // namespace qm::app
