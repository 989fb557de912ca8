// layout-preview: renders a layout file to a PNG without the rest of the program.
//
//   layout-preview [--size WxH] [--hover NAME] [--press NAME] [--focus NAME] [--after MS]
//                  LAYOUT.json OUT.png
//
// The layout is loaded by the program's own loader and class registry (linking the kit registers
// its classes, as in the program), with the Glow theme active, and its window is shown on the offscreen platform (unless QT_QPA_PLATFORM chooses
// another). --size sets the window's client size; --focus gives the named control the keyboard
// focus, --hover puts the pointer over it, --press puts the pointer over it and presses the left
// button there (and keeps it down; there is one pointer, so the last of --hover and --press
// wins); --after lets the timers run for MS milliseconds before the window's pixels are
// written. Pop-up windows that the window's controls have open (a pressed drop-down's item list)
// are drawn where they lie on the screen, and the picture grows to hold them.
//
// A window class that only the program knows ("MainWindow") is previewed as a plain
// window: its event bindings are left out, since their handlers live in that class.
//
// Exit status: 0 when the PNG is written, 1 when the layout cannot be loaded (the loader's
// message, which names the layout and the place, goes to standard error) or the PNG cannot be
// written, 2 for a wrong command line.
#include "service/error.h"
#include "toolkit/application.h"
#include "toolkit/class_registry.h"
#include "toolkit/form.h"
#include "toolkit/theme.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

using orvelle::Form;

constexpr int kExitLayoutError = 1;
constexpr int kExitUsage = 2;

struct Options {
  std::optional<QSize> size;
  QString hover;
  QString press;
  QString focus;
  int after_ms = 0;
  QString layout;
  QString output;
};

void PrintError(const QString& text) { std::fprintf(stderr, "layout-preview: %s\n", qPrintable(text)); }

[[noreturn]] void Usage(const QString& problem) {
  PrintError(problem);
  std::fprintf(stderr,
               "usage: layout-preview [--size WxH] [--hover NAME] [--press NAME] [--focus NAME] [--after MS] "
               "LAYOUT.json OUT.png\n");
  std::exit(kExitUsage);
}

Options ParseArguments(const QStringList& args) {
  Options options;
  QStringList files;
  for (int i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    auto value = [&]() -> QString {
      if (i + 1 >= args.size()) Usage(QStringLiteral("%1 needs a value").arg(arg));
      return args[++i];
    };
    if (arg == u"--size") {
      const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$")).match(value());
      if (!m.hasMatch() || m.captured(1).toInt() == 0 || m.captured(2).toInt() == 0) {
        Usage(QStringLiteral("--size expects WIDTHxHEIGHT, e.g. 649x266"));
      }
      options.size = QSize(m.captured(1).toInt(), m.captured(2).toInt());
    } else if (arg == u"--hover") {
      options.hover = value();
    } else if (arg == u"--press") {
      options.press = value();
    } else if (arg == u"--focus") {
      options.focus = value();
    } else if (arg == u"--after") {
      bool ok = false;
      options.after_ms = value().toInt(&ok);
      if (!ok || options.after_ms < 0) Usage(QStringLiteral("--after expects milliseconds"));
    } else if (arg.startsWith(u"--")) {
      Usage(QStringLiteral("unknown option %1").arg(arg));
    } else {
      files.append(arg);
    }
  }
  if (files.size() != 2) Usage(QStringLiteral("a layout file and an output file are needed"));
  options.layout = files[0];
  options.output = files[1];
  return options;
}

// Removes every "events" entry, so that a window class this tool does not have can be previewed.
void StripEvents(QJsonObject& component) {
  component.remove(u"events");
  if (!component.contains(u"components")) return;
  QJsonArray children = component.value(u"components").toArray();
  for (qsizetype i = 0; i < children.size(); ++i) {
    QJsonObject child = children[i].toObject();
    StripEvents(child);
    children[i] = child;
  }
  component.insert(u"components", children);
}

// The window a layout describes: an instance of its registered window class, or a plain window
// for a class known only to the program (whose layout then loses its event bindings).
std::unique_ptr<Form> MakeWindow(QByteArray& json) {
  const QJsonDocument doc = QJsonDocument::fromJson(json);
  if (!doc.isObject()) return std::make_unique<Form>();  // the loader reports the error
  QJsonObject root = doc.object();
  const QString window_class = root.value(u"class").toString();
  if (window_class.isEmpty() || window_class == u"Form") return std::make_unique<Form>();
  if (orvelle::ClassRegistry::Contains(window_class)) {
    std::unique_ptr<QObject> made(orvelle::ClassRegistry::Create(window_class));
    if (auto* form = qobject_cast<Form*>(made.get())) {
      made.release();
      return std::unique_ptr<Form>(form);
    }
  }
  PrintError(QStringLiteral("the window class '%1' is not known here: previewed as a plain window, events left out")
                 .arg(window_class));
  root.remove(u"class");
  StripEvents(root);
  json = QJsonDocument(root).toJson(QJsonDocument::Compact);
  return std::make_unique<Form>();
}

QWidget* Named(Form& window, const QString& name) {
  auto* widget = qobject_cast<QWidget*>(window.FindComponent(name));
  if (!widget) {
    PrintError(QStringLiteral("the layout has no control named '%1'").arg(name));
    std::exit(kExitLayoutError);
  }
  return widget;
}

// Puts the pointer over the middle of a control, as the window system reports it: the pointer
// position, an enter and a move.
QPointF Hover(QWidget* control) {
  const QPointF middle(control->width() / 2.0, control->height() / 2.0);
  const QPointF global = control->mapToGlobal(middle);
  QCursor::setPos(global.toPoint());
  QEnterEvent enter(middle, middle, global);
  QApplication::sendEvent(control, &enter);
  QMouseEvent move(QEvent::MouseMove, middle, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(control, &move);
  return middle;
}

void Press(QWidget* control) {
  const QPointF middle = Hover(control);
  QMouseEvent press(QEvent::MouseButtonPress, middle, control->mapToGlobal(middle), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(control, &press);
}

// The window's pixels with the pop-up windows of its controls that are open drawn over them at
// their screen positions; the picture is the smallest rectangle holding them all (transparent
// where none of them lies).
QImage GrabWithPopups(Form& window) {
  struct Piece {
    QRect where;
    QImage pixels;
  };
  QList<Piece> pieces{{QRect(window.mapToGlobal(QPoint(0, 0)), window.size()), window.grab().toImage()}};
  for (QWidget* popup : QApplication::topLevelWidgets()) {
    if (popup == &window || !popup->isVisible() || !popup->parentWidget() || popup->parentWidget()->window() != &window) {
      continue;
    }
    pieces.append({QRect(popup->mapToGlobal(QPoint(0, 0)), popup->size()), popup->grab().toImage()});
  }
  QRect area;
  for (const Piece& piece : pieces) area |= piece.where;
  QImage pixels(area.size(), QImage::Format_ARGB32_Premultiplied);
  pixels.fill(Qt::transparent);
  QPainter painter(&pixels);
  for (const Piece& piece : pieces) painter.drawImage(piece.where.topLeft() - area.topLeft(), piece.pixels);
  return pixels;
}

void RunTimers(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const Options options = ParseArguments(QCoreApplication::arguments());

  orvelle::Application::RegisterFonts();
  if (!orvelle::TrySetStyle(QStringLiteral("Glow"))) PrintError(QStringLiteral("the Glow theme is missing"));

  QFile file(options.layout);
  if (!file.open(QIODevice::ReadOnly)) {
    PrintError(QStringLiteral("Layout %1 cannot be read").arg(options.layout));
    return kExitLayoutError;
  }
  QByteArray json = file.readAll();
  std::unique_ptr<Form> window = MakeWindow(json);
  try {
    window->LoadFromJson(json, options.layout);
  } catch (const orvelle::Error& e) {
    std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
    return kExitLayoutError;
  }
  if (options.size) {
    window->SetClientWidth(options.size->width());
    window->SetClientHeight(options.size->height());
  }
  window->move(0, 0);
  QCursor::setPos(-1000, -1000);  // nothing is hot unless asked for
  window->show();
  QCoreApplication::processEvents();
  // Showing a window focuses its first control; the program parks the focus on an invisible one,
  // so the preview shows no control focused unless --focus asks for it.
  if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();

  if (!options.focus.isEmpty()) Named(*window, options.focus)->setFocus(Qt::OtherFocusReason);
  if (!options.hover.isEmpty()) Hover(Named(*window, options.hover));
  if (!options.press.isEmpty()) Press(Named(*window, options.press));
  RunTimers(options.after_ms);

  const QImage pixels = GrabWithPopups(*window);
  if (!pixels.save(options.output, "PNG")) {
    PrintError(QStringLiteral("cannot write %1").arg(options.output));
    return kExitLayoutError;
  }
  return 0;
}
