#include "desktop/command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

namespace orvelle {

namespace {

// What the help says after the options: the keys of the main window, the environment variables
// the program reads and the files it writes. The manual page says the same at more length.
constexpr char kHelpEpilogue[] = R"(
Keys in the main window:
  Space            Play or pause
  Right, N         Next song
  M                Mute or unmute
  Up, Down         Volume up or down by 5
  L                Open or close the lyrics panel
  Ctrl+Q           Quit
  While the channel list has the keyboard focus, the arrow keys and letters
  choose a channel.

Environment:
  ORVELLE_SERVICE_URL   The radio service's address (scheme, host and optional
                        port) in place of https://kestra.fm, for tests.
  ORVELLE_AUDIO_OUTPUT  The audio output of the player: "pulse" for PulseAudio,
                        "null" for none (silent); unset, the desktop's own.
  SSL_CERT_FILE         Certificates to trust for the service's encrypted
                        connections in place of the system's.
  XDG_CONFIG_HOME       Where the settings file is (default: ~/.config).
  XDG_RUNTIME_DIR       Where the cover shown by the desktop's player controls
                        is kept while Orvelle runs.
  QT_LOGGING_RULES      More of the log on standard error, for example
                        "orvelle.*.debug=true".

Files:
  $XDG_CONFIG_HOME/orvelle/orvelle.conf
                        The channel, the volume, the muting and the lyrics' size
                        of the last run. A line "notify=false" turns off the
                        desktop notification of each new song.
)";

// The help text names the program as it was started: the parser, running before the application
// object exists, does not know that name itself.
QString HelpText(const QCommandLineParser& parser, const QString& program) {
  QString text = parser.helpText();
  text.replace(QStringLiteral("<executable_name>"), QFileInfo(program).fileName());
  return text + QString::fromUtf8(kHelpEpilogue);
}

void Print(std::FILE* stream, const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
  std::fflush(stream);
}

// The options Qt's application object reads itself (-platform offscreen, -style Fusion, ...):
// accepted and left to it, not shown in the help.
void AddToolkitOptions(QCommandLineParser& parser) {
  const char* const with_value[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                    "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                    "display", "geometry", "style", "stylesheet", "name", "title"};
  const char* const flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
  for (const char* name : with_value) {
    QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : flags) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
}

}  // namespace

std::optional<int> HandleCommandLine(const QStringList& arguments) {
  if (arguments.size() <= 1) return std::nullopt;
  QCommandLineParser parser;
  // Qt's own options are written with one dash ("-platform"), so every option name may be.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(QStringLiteral("Orvelle plays the music channels of the Kestra online radio."));
  // Qt's own help option would also list --help-all, "including Qt specific options", which this
  // parser cannot show before the application object exists: --help-all is accepted, hidden, and
  // prints the same text.
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Displays help on commandline options."));
  parser.addOption(help);
  QCommandLineOption help_all(QStringLiteral("help-all"));
  help_all.setFlags(QCommandLineOption::HiddenFromHelp);
  parser.addOption(help_all);
  const QCommandLineOption version = parser.addVersionOption();
  AddToolkitOptions(parser);
  const QString help_text = HelpText(parser, arguments.first());
  if (!parser.parse(arguments)) {
    Print(stderr, parser.errorText() + QLatin1Char('\n') + help_text);
    return 2;
  }
  if (parser.isSet(help) || parser.isSet(help_all)) {
    Print(stdout, help_text);
    return 0;
  }
  if (parser.isSet(version)) {
    Print(stdout, QStringLiteral("Orvelle %1\n").arg(QStringLiteral(ORVELLE_VERSION)));
    return 0;
  }
  if (!parser.positionalArguments().isEmpty()) {
    Print(stderr, QStringLiteral("Orvelle takes no arguments: %1\n").arg(parser.positionalArguments().join(u' ')) +
                      help_text);
    return 2;
  }
  return std::nullopt;
}

std::optional<int> HandleCommandLine(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return HandleCommandLine(arguments);
}

}  // namespace orvelle
