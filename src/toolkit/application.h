#pragma once

#include <QString>

#include <exception>
#include <utility>

namespace orvelle {

class Form;

// The application object: the program's title, the default error box, the one guard through
// which every bound handler runs, and the main window that ends the event loop when it closes.
class Application {
 public:
  // The title made from an executable's file name: the name up to its first ".", in lower case
  // but for the first character, which is upper case ("orvelle" gives "Orvelle").
  static QString TitleFromFileName(const QString& fileName);
  // The program's title, from the running executable's file name.
  static QString Title();

  // The text the default error box shows for an error message: a period is appended when the
  // last character's code is above that of ".".
  static QString ErrorBoxText(const QString& message);
  // The default error box: error icon, OK button, the title as caption, ErrorBoxText as text.
  static void ShowErrorBox(const QString& message);
  // Shows the error box for the exception in flight (or the one given); never throws.
  static void HandleException(std::exception_ptr error) noexcept;

  // Runs a handler so that no exception leaves it: an escaping error is shown in the default
  // error box, and the caller goes on.
  template <class F>
  static void RunGuarded(F&& handler) noexcept {
    try {
      std::forward<F>(handler)();
    } catch (...) {
      HandleException(std::current_exception());
    }
  }

  // Registers the "Tahoma" family from the fonts the system keeps outside fontconfig's paths
  // when the family is not installed. Safe to call more than once.
  static void RegisterFonts();

  // The main window: the first form created, unless set otherwise. Closing it ends the event loop.
  static Form* MainForm();
  static void SetMainForm(Form* form);

  // Whether the main window has its own task-bar button; kept for the start-up sequence, the
  // window system decides on its own here.
  static bool MainFormOnTaskBar();
  static void SetMainFormOnTaskBar(bool value);

  // Runs the event loop until it ends; its first event shows the main window.
  static int Run();
};

}  // namespace orvelle
