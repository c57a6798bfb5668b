#include <QApplication>
#include <QMessageBox>
#include <QScreen>

#include "app/main_window.h"
#include "app/qt_prompter.h"
#include "app/startup.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  std::vector<std::u16string> arguments;
  for (const QString& argument : QApplication::arguments()) {
    arguments.push_back(argument.toStdU16String());
  }
  QApplication::setApplicationName(
      QString::fromStdU16String(qm::app::ApplicationTitle(arguments.front())));
  if (qm::app::HasVersionSwitch(arguments)) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(),
                    QString::fromStdU16String(qm::app::kVersionText), QMessageBox::Ok);
    box.exec();
  }

  // The engine's questions during unpacking become the desktop's dialogs.
  qm::app::QtPrompter prompter;
  qm::archive::InstallPrompter(&prompter);

  qm::app::MainWindow window;
  window.FormCreate();
  window.move(window.screen()->availableGeometry().center() - window.rect().center());
  window.show();
  return QApplication::exec();
}
