#include "toolkit/application.h"

#include "service/error.h"
#include "toolkit/form.h"
#include "toolkit/message_box.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPointer>

namespace orvelle {
namespace {

QPointer<Form>& MainFormPointer() {
  static QPointer<Form> form;
  return form;
}

bool& MainFormOnTaskBarFlag() {
  static bool value = false;
  return value;
}

// Shows the main window when its event arrives, then goes.
class MainFormShow : public QObject {
 public:
  explicit MainFormShow(Form* form) : form_(form) {}
  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) return QObject::event(event);
    deleteLater();
    if (form_) Application::RunGuarded([this] { form_->SetVisible(true); });
    return true;
  }

 private:
  QPointer<Form> form_;
};

}  // namespace

QString Application::TitleFromFileName(const QString& fileName) {
  QString title = fileName.section(u'.', 0, 0).toLower();
  if (!title.isEmpty()) title[0] = title[0].toUpper();
  return title;
}

QString Application::Title() {
  return TitleFromFileName(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}

QString Application::ErrorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

void Application::ShowErrorBox(const QString& message) {
  MessageBox(nullptr, QMessageBox::Critical, Title(), ErrorBoxText(message), QMessageBox::Ok);
}

void Application::HandleException(std::exception_ptr error) noexcept {
  try {
    QString message;
    try {
      std::rethrow_exception(error);
    } catch (const Error& e) {
      message = e.Message();
    } catch (const std::exception& e) {
      message = QString::fromUtf8(e.what());
    } catch (...) {
      message = QStringLiteral("Unknown error");
    }
    ShowErrorBox(message);
  } catch (...) {
    // Showing the box failed (out of memory): nothing more can be done here.
  }
}

void Application::RegisterFonts() {
  if (QFontDatabase::hasFamily(QStringLiteral("Tahoma"))) return;
  for (const char* path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
    if (QFile::exists(QLatin1String(path))) QFontDatabase::addApplicationFont(QLatin1String(path));
  }
}

Form* Application::MainForm() { return MainFormPointer(); }

void Application::SetMainForm(Form* form) { MainFormPointer() = form; }

bool Application::MainFormOnTaskBar() { return MainFormOnTaskBarFlag(); }

void Application::SetMainFormOnTaskBar(bool value) { MainFormOnTaskBarFlag() = value; }

int Application::Run() {
  // The main window is shown by the first event the loop handles (posted at high priority, so it
  // comes before everything queued earlier), so that its show handler, and a network wait inside
  // it, already runs inside the loop: closing the window then ends the loop, which Qt ignores
  // before the loop has started.
  if (Form* form = MainForm()) {
    QCoreApplication::postEvent(new MainFormShow(form), new QEvent(QEvent::User), Qt::HighEventPriority);
  }
  return QApplication::exec();
}

}  // namespace orvelle
