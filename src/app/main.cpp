#include "app/start_up.h"
#include "desktop/command_line.h"
#include "desktop/desktop_integration.h"
#include "desktop/single_instance.h"

#include <QApplication>

#include <malloc.h>

// `orvelle --help` and `--version` answer and end; with no arguments Orvelle starts, unless it
// already runs in this session: then the running window comes to the front and this start ends
// with 0. It takes back the channel and the volume of the last run and runs until its main window
// closes.
int main(int argc, char* argv[]) {
  if (const std::optional<int> code = orvelle::HandleCommandLine(argc, argv)) return *code;
  // Each thread that allocates (the player's, the requests') would otherwise get a heap of its
  // own, up to eight per core, and each keeps what it once held: resident memory grew in steps of
  // about 10 MB for the first quarter hour of playing. Two heaps bound that growth.
  mallopt(M_ARENA_MAX, 2);
  QApplication application(argc, argv);
  QGuiApplication::setDesktopFileName(QString::fromLatin1(orvelle::DesktopIntegration::kDesktopEntry));
  if (orvelle::ClaimSingleInstance(QDBusConnection::sessionBus()) == orvelle::InstanceClaim::HandedOver) return 0;
  return orvelle::RunProgram();
}
