#pragma once

#include <QStringList>

#include <optional>

namespace orvelle {

// Orvelle's command line: `--help` (and `-h`, with the main window's keys, the environment
// variables and the files) and `--version` (and `-v`) print their text to standard output; an unknown option or any other argument is an error printed with the usage to
// standard error. Qt's own options (-platform, -style, ...) are left to Qt. With no arguments the
// program starts as always. Reads only the arguments, so it runs before the
// application object exists (a machine without a display still answers --version).
// Returns the exit code when the program is to end here, nothing when it is to start.
std::optional<int> HandleCommandLine(const QStringList& arguments);

// The same, for main()'s arguments.
std::optional<int> HandleCommandLine(int argc, char** argv);

}  // namespace orvelle
