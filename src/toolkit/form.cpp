#include "toolkit/form.h"

#include "service/error.h"
#include "toolkit/application.h"
#include "toolkit/layout_loader.h"
#include "toolkit/theme.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QLocale>
#include <QPainter>
#include <QScreen>

namespace orvelle {

Form::Form(QWidget* parent) : Control(parent) {
  setWindowFlag(Qt::Window);
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (!Application::MainForm()) Application::SetMainForm(this);
}

void Form::SetLocale(const QString& name) {
  const QLocale language(name);
  setLocale(language);
  if (Application::MainForm() == this) QLocale::setDefault(language);
}

Form::~Form() {
  if (Application::MainForm() == this) Application::SetMainForm(nullptr);
}

void Form::Load(const QString& layoutPath) {
  LayoutLoader::Load(this, layoutPath);
  emit OnCreate(this);
}

void Form::LoadFromJson(const QByteArray& json, const QString& sourceName) {
  LayoutLoader::LoadFromJson(this, json, sourceName);
  emit OnCreate(this);
}

QObject* Form::FindComponent(const QString& name) const {
  if (name.isEmpty()) return nullptr;
  return findChild<QObject*>(name);
}

void Form::ThrowMissingComponent(const QString& name) const {
  throw Error(QStringLiteral("Component '%1' not found in '%2'").arg(name, objectName()));
}

void Form::SetClientWidth(int width) { SetBounds(x(), y(), width, height()); }

void Form::SetClientHeight(int height) { SetBounds(x(), y(), width(), height); }

void Form::SetBounds(int left, int top, int width, int height) {
  // A fixed border only keeps the user from resizing; the program still sizes the window.
  setMinimumSize(0, 0);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  Control::SetBounds(left, top, width, height);
  ApplyBorder();
}

void Form::SetBorderStyle(TFormBorderStyle style) {
  border_style_ = style;
  ApplyBorder();
}

void Form::ApplyBorder() {
  const bool fixed = border_style_ == bsSingle || border_style_ == bsDialog || border_style_ == bsToolWindow ||
                     border_style_ == bsNone;
  if (fixed) {
    setFixedSize(size());
  } else {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
  if (border_style_ == bsNone) setWindowFlag(Qt::FramelessWindowHint, true);
}

void Form::setVisible(bool visible) {
  if (visible && !shown_once_ && (position_ == poScreenCenter || position_ == poDesktopCenter ||
                                  position_ == poMainFormCenter || position_ == poOwnerFormCenter)) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      // Half of the free room on each side, the halves truncated.
      move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
  }
  if (visible) shown_once_ = true;
  Control::setVisible(visible);
}

int Form::ShowModal() {
  if (isVisible() || modal_loop_) throw Error(QStringLiteral("Cannot make a visible window modal"));
  modal_result_ = mrNone;
  setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  modal_loop_ = &loop;
  show();
  if (isVisible()) loop.exec(QEventLoop::DialogExec);
  modal_loop_ = nullptr;
  hide();
  setWindowModality(Qt::NonModal);
  // A window closed by other means than its ModalResult (the window manager, hide(), the program
  // quitting) was cancelled.
  if (modal_result_ == mrNone) modal_result_ = mrCancel;
  return modal_result_;
}

void Form::SetModalResult(int value) {
  modal_result_ = value;
  // The window closes once the event that set the result has been handled, so that the handler
  // running now (a button's OnClick after its ModalResult) can still set it back to mrNone.
  if (modal_loop_ && value != mrNone) QMetaObject::invokeMethod(this, &Form::CloseModal, Qt::QueuedConnection);
}

void Form::CloseModal() {
  if (modal_loop_ && modal_result_ != mrNone) close();
}

void Form::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), ResolveColor(GetColor(), true));
}

void Form::showEvent(QShowEvent* event) {
  Control::showEvent(event);
  if (!event->spontaneous()) emit OnShow(this);
}

void Form::hideEvent(QHideEvent* event) {
  Control::hideEvent(event);
  if (!event->spontaneous()) emit OnHide(this);
  if (modal_loop_ && !event->spontaneous()) modal_loop_->quit();
}

void Form::closeEvent(QCloseEvent* event) {
  bool can_close = true;
  emit OnCloseQuery(this, &can_close);
  if (!can_close) {
    if (modal_loop_) modal_result_ = mrNone;  // the modal window stays, waiting for another result
    event->ignore();
    return;
  }
  event->accept();
  if (modal_loop_) return;  // ShowModal's loop ends as the window hides
  if (Application::MainForm() == this) QCoreApplication::quit();
}

}  // namespace orvelle
