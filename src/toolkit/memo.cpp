#include "toolkit/memo.h"

#include "toolkit/focus.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <utility>

namespace orvelle {
namespace {

// The keys that move the caret through a text, with or without Shift and Ctrl.
bool MovesCaret(const QKeyEvent& key) {
  if (key.modifiers() & (Qt::AltModifier | Qt::MetaModifier)) return false;
  switch (key.key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool MemoEditor::event(QEvent* event) {
  // An editable text claims its keys itself; a read-only one claims only the caret's.
  if (event->type() == QEvent::ShortcutOverride && isReadOnly() && MovesCaret(*static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QPlainTextEdit::event(event);
}

void MemoEditor::paintEvent(QPaintEvent* event) {
  const int width = isReadOnly() && !FocusCueVisible() ? 0 : 1;
  if (cursorWidth() != width) setCursorWidth(width);
  QPlainTextEdit::paintEvent(event);
}

Memo::Memo(QWidget* parent) : Control(parent), editor_(new MemoEditor(this)) {
  resize(185, 89);
  SetColor(clWindow);
  setFocusProxy(editor_);
  SetTabStop(true);
  editor_->setFocusPolicy(Qt::StrongFocus);
  // Tab moves the focus on to the next control instead of typing a tab character: the keyboard
  // never gets caught in the text.
  editor_->setTabChangesFocus(true);
  editor_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  editor_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  editor_->setGeometry(rect());
  editor_->viewport()->installEventFilter(this);
}

QStringList Memo::Lines() const {
  const QString text = Text();
  return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void Memo::SetLines(const QStringList& lines) { SetText(lines.join(QLatin1Char('\n'))); }

QString Memo::Text() const { return editor_->toPlainText(); }

void Memo::SetText(const QString& text) {
  if (text == Text()) return;
  editor_->setPlainText(text);
}

void Memo::SetReadOnly(bool value) {
  read_only_ = value;
  editor_->setReadOnly(value);
  // No typing; the caret still walks the text, so that it can be read line by line.
  editor_->setTextInteractionFlags(value ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                         : Qt::TextEditorInteraction);
}

void Memo::SetWordWrap(bool value) {
  word_wrap_ = value;
  editor_->setLineWrapMode(value ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void Memo::SetScrollBars(TScrollStyle value) {
  if (value == scroll_bars_) return;
  scroll_bars_ = value;
  ApplyScrollBarPolicies();
  ScrollBarsChanged();
}

void Memo::UseOwnScrollBars() {
  own_scroll_bars_ = true;
  ApplyScrollBarPolicies();
}

void Memo::ApplyScrollBarPolicies() {
  const bool horizontal = !own_scroll_bars_ && HorizontalScrollBarOn();
  const bool vertical = !own_scroll_bars_ && VerticalScrollBarOn();
  editor_->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  editor_->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void Memo::SetBorderStyle(TBorderStyle value) {
  border_style_ = value;
  editor_->setFrameShape(value == bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
}

void Memo::resizeEvent(QResizeEvent* event) {
  Control::resizeEvent(event);
  editor_->setGeometry(rect());
}

bool Memo::eventFilter(QObject* watched, QEvent* event) {
  const bool press = event->type() == QEvent::MouseButtonPress;
  const bool release = event->type() == QEvent::MouseButtonRelease;
  if (watched == editor_->viewport() && (press || release)) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      if (press) {
        text_pressed_ = true;
      } else if (std::exchange(text_pressed_, false) && editor_->viewport()->rect().contains(mouse->position().toPoint())) {
        Click();
      }
    }
  }
  return Control::eventFilter(watched, event);
}

}  // namespace orvelle
