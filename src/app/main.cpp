#include "app/start_up.h"

#include <QApplication>

// Orvelle takes no command-line arguments and reads no settings; it runs until its main window
// closes.
int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  return orvelle::RunProgram();
}
