#pragma once

#include "toolkit/control.h"

#include <QMargins>
#include <QPlainTextEdit>
#include <QStringList>

namespace orvelle {

// The native multi-line edit inside a Memo: Qt's plain-text editor, with the area the text is
// laid out in (its formatting rectangle) settable from outside.
//
// Read-only, it is read with the keyboard as a screen reader expects: the caret moves through the
// text (arrows, Home, End, Page Up and Page Down, with Shift to select) and the window's shortcuts
// on those keys wait while it has the focus; every other key (letters, Space) is the window's.
class MemoEditor : public QPlainTextEdit {
  Q_OBJECT
 public:
  using QPlainTextEdit::QPlainTextEdit;
  // Lays the text out inside the editor minus these margins.
  void SetFormattingMargins(const QMargins& margins) { setViewportMargins(margins); }
  QMargins FormattingMargins() const { return viewportMargins(); }

 protected:
  bool event(QEvent* event) override;
  // A read-only text shows its caret only while the focus cue shows (see ShowsFocus).
  void paintEvent(QPaintEvent* event) override;
};

// The toolkit's multi-line edit control: text lines, caret, selection, clipboard, keyboard and
// scrolling are the native editor's; the control positions it and publishes its settings. Kit
// text views derive from it to draw their own background behind the editor's glyphs. A left
// button pressed and released over the text raises OnClick, as on any control.
class Memo : public Control {
  Q_OBJECT
  Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)
  Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
  Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
  Q_PROPERTY(orvelle::Memo::TScrollStyle ScrollBars READ ScrollBars WRITE SetScrollBars)
  Q_PROPERTY(orvelle::Memo::TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)

 public:
  enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
  Q_ENUM(TScrollStyle)
  enum TBorderStyle { bsNone, bsSingle };
  Q_ENUM(TBorderStyle)

  explicit Memo(QWidget* parent = nullptr);

  QStringList Lines() const;
  void SetLines(const QStringList& lines);
  QString Text() const;
  void SetText(const QString& text);
  void Clear() { SetText(QString()); }
  // A read-only memo takes no typing; its text can still be read with the caret keys, selected and
  // copied.
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool value);
  // A bar that is on is always shown, disabled while the text fits (unless the memo draws its own
  // bars, see UseOwnScrollBars).
  TScrollStyle ScrollBars() const { return scroll_bars_; }
  bool HorizontalScrollBarOn() const { return scroll_bars_ == ssHorizontal || scroll_bars_ == ssBoth; }
  bool VerticalScrollBarOn() const { return scroll_bars_ == ssVertical || scroll_bars_ == ssBoth; }
  void SetScrollBars(TScrollStyle value);
  TBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TBorderStyle value);

  MemoEditor* Editor() const { return editor_; }

  // The editor takes the focus, so assistive technology reads the text's name and description
  // from it.
  QString AccessibleName() const override { return editor_->accessibleName(); }
  void SetAccessibleName(const QString& name) override { editor_->setAccessibleName(name); }
  QString AccessibleDescription() const override { return editor_->accessibleDescription(); }
  void SetAccessibleDescription(const QString& text) override { editor_->setAccessibleDescription(text); }

 protected:
  // For a memo that draws scroll bars of its own: the editor's bars stay hidden whatever
  // ScrollBars says; the editor still keeps their ranges and positions, which the memo's bars
  // show and set.
  void UseOwnScrollBars();
  // ScrollBars changed.
  virtual void ScrollBarsChanged() {}
  void resizeEvent(QResizeEvent* event) override;
  // Watches the editor's text area for clicks; a view that filters the editor's events itself
  // hands the ones it does not take on to this.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyScrollBarPolicies();

  MemoEditor* editor_;
  bool read_only_ = false;
  bool word_wrap_ = true;
  TScrollStyle scroll_bars_ = ssNone;
  bool own_scroll_bars_ = false;
  TBorderStyle border_style_ = bsSingle;
  bool text_pressed_ = false;
};

}  // namespace orvelle
