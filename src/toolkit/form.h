#pragma once

#include "toolkit/control.h"

#include <QLocale>
#include <QString>

class QEventLoop;

namespace orvelle {

// A top-level window built from a stored layout. Its handlers are its own methods (slots or
// Q_INVOKABLE) whose parameters match the event's: `void nextButtonClick(QObject* sender)`. A
// form may declare pointer properties named after its components
// (`Q_PROPERTY(orvelle::Timer* countdownTimer MEMBER countdownTimer)`); loading fills them.
class Form : public Control {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth)
  Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight)
  Q_PROPERTY(orvelle::Form::TFormBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(orvelle::Form::TPosition Position READ Position WRITE SetPosition)
  Q_PROPERTY(int PixelsPerInch READ PixelsPerInch WRITE SetPixelsPerInch)
  Q_PROPERTY(QString Locale READ Locale WRITE SetLocale)

 public:
  enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
  Q_ENUM(TFormBorderStyle)
  // What closed a modal window: the value its ModalResult was set to (a button's ModalResult, say).
  enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
                            mrNo = 7, mrClose = 8, mrHelp = 9, mrTryAgain = 10, mrContinue = 11, mrAll = 12,
                            mrNoToAll = 13, mrYesToAll = 14 };
  enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
                   poMainFormCenter, poOwnerFormCenter };
  Q_ENUM(TPosition)

  // The first form created becomes the application's main window.
  explicit Form(QWidget* parent = nullptr);
  ~Form() override;

  // Builds the window from a layout resource (see LayoutLoader), then runs OnCreate.
  void Load(const QString& layoutPath);
  // The same from the layout's text; sourceName names it in errors.
  void LoadFromJson(const QByteArray& json, const QString& sourceName);

  // The component of that name in this window; throws Error when there is none of that type.
  template <class T>
  T* Component(const QString& name) const {
    auto* found = qobject_cast<T*>(FindComponent(name));
    if (!found) ThrowMissingComponent(name);
    return found;
  }
  QObject* FindComponent(const QString& name) const;

  QString Caption() const { return windowTitle(); }
  void SetCaption(const QString& caption) { setWindowTitle(caption); }
  int ClientWidth() const { return width(); }
  void SetClientWidth(int width);
  int ClientHeight() const { return height(); }
  void SetClientHeight(int height);
  TFormBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TFormBorderStyle style);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  int PixelsPerInch() const { return pixels_per_inch_; }
  void SetPixelsPerInch(int value) { pixels_per_inch_ = value; }
  // The language of the window's texts as a POSIX locale name ("zh_CN"), for assistive technology
  // (a screen reader picks its voice by it). The main window's is also the program's.
  QString Locale() const { return locale().name(); }
  void SetLocale(const QString& name);

  // Shows the window modal to the whole program and waits until it closes: a ModalResult other
  // than mrNone closes it (when OnCloseQuery agrees; otherwise ModalResult goes back to mrNone and
  // the window stays), and closing or hiding it otherwise gives mrCancel. Returns the ModalResult.
  // Throws Error for a window that is already shown.
  int ShowModal();
  bool IsModal() const { return modal_loop_ != nullptr; }
  int ModalResult() const { return modal_result_; }
  // Stores the value; in a modal window a value other than mrNone closes it once the current event
  // has been handled (unless it is set back to mrNone meanwhile).
  void SetModalResult(int value);

  void SetBounds(int left, int top, int width, int height) override;
  void setVisible(bool visible) override;

 signals:
  void OnCreate(QObject* sender);
  void OnShow(QObject* sender);
  void OnHide(QObject* sender);
  void OnCloseQuery(QObject* sender, bool* canClose);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  [[noreturn]] void ThrowMissingComponent(const QString& name) const;
  void CloseModal();
  void ApplyBorder();

  TFormBorderStyle border_style_ = bsSizeable;
  TPosition position_ = poDefaultPosOnly;
  int pixels_per_inch_ = 96;
  bool shown_once_ = false;
  int modal_result_ = mrNone;
  QEventLoop* modal_loop_ = nullptr;  // the loop of ShowModal while it runs
};

}  // namespace orvelle
