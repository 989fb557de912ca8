#include "app/start_up.h"
#include "desktop/command_line.h"
#include "desktop/desktop_integration.h"
#include "desktop/single_instance.h"

#include <QApplication>

// `orvelle --help` and `--version` answer and end; with no arguments Orvelle starts, unless it
// already runs in this session: then the running window comes to the front and this start ends
// with 0. It takes back the channel and the volume of the last run and runs until its main window
// closes.
int main(int argc, char* argv[]) {
  if (const std::optional<int> code = orvelle::HandleCommandLine(argc, argv)) return *code;
  QApplication application(argc, argv);
  QGuiApplication::setDesktopFileName(QString::fromLatin1(orvelle::DesktopIntegration::kDesktopEntry));
  if (orvelle::ClaimSingleInstance(QDBusConnection::sessionBus()) == orvelle::InstanceClaim::HandedOver) return 0;
  return orvelle::RunProgram();
}
