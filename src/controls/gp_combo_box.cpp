#include "controls/gp_combo_box.h"

#include "controls/accessible.h"
#include "controls/caption_text.h"
#include "controls/gp_button.h"
#include "service/log.h"
#include "toolkit/focus.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace orvelle {
namespace {

// The combo box whose open list watches the program's presses; one at a time.
QPointer<TscGPComboBox>& ObservingCombo() {
  static QPointer<TscGPComboBox> combo;
  return combo;
}

// The drop-down as assistive technology sees it: a combo box whose value and text are its item's
// caption and whose one child is its list with the rows (hidden while the list is closed). Qt's
// bridge to the desktop offers no selection interface, so the chosen row is told as the keyboard's
// focus: each move of the selection focuses its row, which a screen reader speaks ("新歌", its
// place in the list), with the list closed as while it is open.
class ComboAccessible : public TscAccessible, public QAccessibleTextInterface {
 public:
  explicit ComboAccessible(TscGPComboBox* combo) : TscAccessible(combo) {}

  int childCount() const override { return 1; }
  QAccessibleInterface* child(int index) const override {
    return index == 0 ? QAccessible::queryAccessibleInterface(Combo()->ListBox()) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child && child->object() == Combo()->ListBox() ? 0 : -1;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return TscAccessible::interface_cast(type);
  }

  // The text: the shown item's caption, read-only, without caret or selection.
  QString text(QAccessible::Text t) const override { return TscAccessible::text(t); }
  QString text(int start, int end) const override { return Shown().mid(start, end - start); }
  int characterCount() const override { return int(Shown().size()); }
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    return {};
  }

 private:
  TscGPComboBox* Combo() const { return static_cast<TscGPComboBox*>(Control()); }
  QString Shown() const { return TscAccessible::text(QAccessible::Value); }
};

QAccessibleInterface* ComboAccessibleFactory(const QString& className, QObject* object) {
  if (className != QLatin1String(TscGPComboBox::staticMetaObject.className())) return nullptr;
  auto* combo = qobject_cast<TscGPComboBox*>(object);
  return combo ? new ComboAccessible(combo) : nullptr;
}

void InstallComboAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&ComboAccessibleFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace

// Watches, while a drop-down's list is open, what closes it from outside the combo box: a left or
// right press on any other widget of the program, the program losing activation (a press in
// another application activates that one), and the combo box's window moving away from the list.
class PressObserver : public QObject {
 public:
  explicit PressObserver(TscGPComboBox* combo) : QObject(combo), combo_(combo) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick: {
        const auto button = static_cast<QMouseEvent*>(event)->button();
        if ((button == Qt::LeftButton || button == Qt::RightButton) && watched->isWidgetType() &&
            !Owns(static_cast<QWidget*>(watched))) {
          combo_->CloseUp(false);
        }
        break;
      }
      case QEvent::ApplicationStateChange:
        if (QGuiApplication::applicationState() != Qt::ApplicationActive) combo_->CloseUp(false);
        break;
      case QEvent::Move:
        if (watched == combo_->window()) combo_->CloseUp(false);
        break;
      default:
        break;
    }
    return false;
  }

 private:
  // Whether the press lands on the combo box or its list (or inside one of them).
  bool Owns(const QWidget* widget) const {
    const QWidget* list = combo_->ListBox();
    return widget == combo_ || combo_->isAncestorOf(widget) || widget == list || list->isAncestorOf(widget);
  }

  TscGPComboBox* combo_;
};

TscGPComboBox::TscGPComboBox(QWidget* parent)
    : TscCustomActiveControl(parent),
      list_(new TscGPPopupListBox(this)),
      options_(new TscGPComboOptions(this)),
      search_timer_(new QTimer(this)) {
  InstallComboAccessibility();
  resize(120, 41);
  SetTabStop(true);
  list_->installEventFilter(this);
  search_timer_->setSingleShot(true);
  search_timer_->setInterval(kTypeAheadTimeout);
  connect(search_timer_, &QTimer::timeout, this, [this] { search_text_.clear(); });
  connect(options_, &TscOptions::Changed, this, &TscCustomControl::RePaintControl);
  connect(list_->Items(), &TscGPListBoxItems::Changed, this, &TscCustomControl::RePaintControl);
  connect(list_->DetailFont(), &orvelle::Font::Changed, this, &TscCustomControl::RePaintControl);
  connect(list_, &TscGPCustomListBox::OnItemCheckClick, this, [this] { emit OnItemCheckClick(this); });
}

TscGPComboBox::~TscGPComboBox() { StopObserving(); }

// --- properties --------------------------------------------------------------------------------

void TscGPComboBox::SetListBoxItemSpacing(int value) {
  if (value == list_->ItemSpacing()) return;
  list_->SetItemSpacing(value);
  RePaintControl();
}

void TscGPComboBox::SetShowItemImage(bool value) { StoreAndRepaint(show_item_image_, value); }

void TscGPComboBox::SetShowItemDetail(bool value) { StoreAndRepaint(show_item_detail_, value); }

void TscGPComboBox::SetImages(ImageList* value) {
  if (value == list_->Images()) return;
  list_->SetImages(value);
  RePaintControl();
}

void TscGPComboBox::SetContentMargin(int value) {
  if (value < 0 || value == content_margin_) return;
  content_margin_ = value;
  RePaintControl();
}

void TscGPComboBox::SetCheckedListMode(bool value) {
  if (value == list_->CheckedListMode()) return;
  list_->SetCheckedListMode(value);
  RePaintControl();
}

void TscGPComboBox::SetCheckedListWrap(bool value) { StoreAndRepaint(checked_list_wrap_, value); }

void TscGPComboBox::ScalePixelOptions(int m, int d) {
  options_->Scale(m, d, options_->ScaleFrameWidth());
  content_margin_ = MulDiv(content_margin_, m, d);
  list_box_width_ = MulDiv(list_box_width_, m, d);
  list_box_height_ = MulDiv(list_box_height_, m, d);
  // The list is a window of its own, so the scaling of the child controls does not reach it.
  list_->ChangeScale(m, d);
}

// --- selection ---------------------------------------------------------------------------------

void TscGPComboBox::AnnounceValue() {
  QAccessibleValueChangeEvent event(this, AccessibleValueText());
  QAccessible::updateAccessibility(&event);
}

void TscGPComboBox::AnnounceSelectedRow() {
  QAccessibleInterface* list = QAccessible::queryAccessibleInterface(list_);
  QAccessibleInterface* row = list ? list->child(ItemIndex()) : nullptr;
  if (!row) return;
  QAccessibleEvent event(row, QAccessible::Focus);
  QAccessible::updateAccessibility(&event);
}

void TscGPComboBox::AnnounceFocusBack() {
  if (!hasFocus()) return;
  QAccessibleEvent event(this, QAccessible::Focus);
  QAccessible::updateAccessibility(&event);
}

void TscGPComboBox::SetAccessibleName(const QString& name) {
  TscCustomActiveControl::SetAccessibleName(name);
  // The open list is named as the drop-down it belongs to.
  list_->SetAccessibleName(name);
}

void TscGPComboBox::SetItemIndex(int value) {
  list_->SetItemIndex(value);
  old_item_index_ = list_->ItemIndex();
  RePaintControl();
  AnnounceValue();
  if (hasFocus()) AnnounceSelectedRow();
  if (Loading()) return;
  Click();
  Change();
}

void TscGPComboBox::InitItemIndex(int value) {
  list_->InitItemIndex(value);
  old_item_index_ = list_->ItemIndex();
}

void TscGPComboBox::MoveBy(int index) { SetItemIndex(index >= 0 ? index : ItemIndex()); }

// --- opening and closing -----------------------------------------------------------------------

QSize TscGPComboBox::ListSize() const {
  const int width = list_box_width_ > 0 ? list_box_width_ : Width();
  int height = list_->height();
  if (list_box_height_ > 0) {
    height = list_box_height_;
  } else if (drop_down_count_ > 0) {
    const int rows = std::min(drop_down_count_, Items()->Count());
    height = rows * list_->ItemHeight() + 2 * list_->Options()->FrameWidth();
  }
  return QSize(width, height);
}

QPoint TscGPComboBox::ListOrigin(const QSize& listSize) const {
  const QPoint top_left = mapToGlobal(QPoint(0, 0));
  const int x = drop_down_position_ == scdpLeft ? top_left.x() : top_left.x() + Width() - listSize.width();
  int y = top_left.y() + Height();
  QScreen* screen = QGuiApplication::screenAt(mapToGlobal(rect().center()));
  if (!screen) screen = this->screen();
  if (screen && y + listSize.height() > screen->availableGeometry().bottom() + 1) y = top_left.y() - listSize.height();
  return QPoint(x, y);
}

void TscGPComboBox::SizeList() { list_->resize(ListSize()); }

void TscGPComboBox::DropDown() {
  if (Items()->Count() == 0) return;
  list_->StopAutoScroll();
  emit OnDropDown(this);
  list_->GetFont()->Assign(*GetFont());
  list_->SetColor(GetColor());
  list_->SetStyleElements(StyleElements());
  old_item_index_ = list_->ItemIndex();
  drop_down_ = true;
  RePaintControl();
  SizeList();
  list_->Show(ListOrigin(list_->size()));
  StartObserving();
  if (hasFocus()) {
    // The open list takes the focus as a list would (named as the drop-down), then its row.
    QAccessibleEvent list_focused(list_, QAccessible::Focus);
    QAccessible::updateAccessibility(&list_focused);
    AnnounceSelectedRow();
  }
}

void TscGPComboBox::CloseUp(bool accept) {
  StopObserving();
  EndPointerTracking();
  if (!drop_down_) return;
  list_->Hide();
  drop_down_ = false;
  const bool valid = ItemIndex() >= 0 && ItemIndex() < Items()->Count();
  if (CheckedListMode() || (accept && valid)) {
    old_item_index_ = ItemIndex();
    RePaintControl();
    AnnounceValue();
    AnnounceFocusBack();
    emit OnCloseUp(this);
    Click();
    Change();
    return;
  }
  list_->InitItemIndex(old_item_index_);
  RePaintControl();
  AnnounceFocusBack();
}

bool TscGPComboBox::CanCancelDropDown() const {
  return drop_down_ && !rect().contains(mapFromGlobal(QCursor::pos()));
}

void TscGPComboBox::StartObserving() {
  QPointer<TscGPComboBox>& observing = ObservingCombo();
  if (observing && observing != this) observing->StopObserving();
  observing = this;
  if (!press_observer_) press_observer_ = new PressObserver(this);
  qApp->installEventFilter(press_observer_);
}

void TscGPComboBox::StopObserving() {
  if (press_observer_) qApp->removeEventFilter(press_observer_);
  if (ObservingCombo() == this) ObservingCombo() = nullptr;
}

void TscGPComboBox::EndPointerTracking() {
  lb_down_ = false;
  face_down_ = false;
  was_in_lb_ = false;
  list_->StopAutoScroll();
}

// --- pointer -----------------------------------------------------------------------------------

void TscGPComboBox::LeftPressed(QMouseEvent* event) {
  if (!hasFocus() && isEnabled()) setFocus(Qt::MouseFocusReason);
  const QPoint p = event->position().toPoint();
  emit OnMouseDown(this, event->button(), event->modifiers(), p.x(), p.y());
  if (event->button() != Qt::LeftButton) return;
  if (drop_down_) {
    CloseUp(false);
    return;
  }
  DropDown();
  EndPointerTracking();
  face_down_ = drop_down_;
}

void TscGPComboBox::mousePressEvent(QMouseEvent* event) { LeftPressed(event); }

void TscGPComboBox::mouseDoubleClickEvent(QMouseEvent* event) { LeftPressed(event); }

void TscGPComboBox::mouseMoveEvent(QMouseEvent* event) {
  TscCustomActiveControl::mouseMoveEvent(event);
  if (drop_down_ && (event->buttons() & Qt::LeftButton) && (face_down_ || lb_down_)) {
    PointerMoved(event->globalPosition().toPoint());
  }
}

void TscGPComboBox::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  emit OnMouseUp(this, event->button(), event->modifiers(), p.x(), p.y());
  if (event->button() == Qt::LeftButton && drop_down_) LeftReleased(event->globalPosition().toPoint());
  face_down_ = false;
}

bool TscGPComboBox::ListMousePress(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return true;  // other buttons never reach the list
  const QPoint p = event->position().toPoint();
  const TscGPControlScrollBar* bar = list_->VertScrollBar();
  if (bar->Visible() && bar->Bounds().contains(p)) return false;  // the scroll bar takes its own presses
  const int index = list_->ItemAtPos(p);
  const TscGPListBoxItem* item = Items()->Item(index);
  if (item && item->Selectable()) {
    if (CheckedListMode() && item->CheckRect().contains(p)) list_->ToggleItemCheck(index);
    list_->SelectUnderPointer(index);
    list_->SetMouseActive(index);
  }
  lb_down_ = true;
  return true;
}

void TscGPComboBox::PointerMoved(const QPoint& global) {
  const QRect list = list_->geometry();
  if (global.y() >= list.top() && global.y() <= list.bottom()) was_in_lb_ = true;
  if (list.contains(global)) {
    list_->StopAutoScroll();
    const int index = list_->ItemAtPos(list_->mapFromGlobal(global));
    const TscGPListBoxItem* item = Items()->Item(index);
    if (item && item->Selectable() && index != list_->MouseActive()) {
      list_->SelectUnderPointer(index);
      list_->SetMouseActive(index);
    }
    return;
  }
  const bool above = global.y() < list.top();
  const bool below = global.y() > list.bottom();
  if ((lb_down_ || was_in_lb_) && (above || below) && list_->VertScrollBar()->Visible()) {
    list_->StartAutoScroll(above ? TscGPCustomListBox::asUp : TscGPCustomListBox::asDown);
  } else {
    list_->StopAutoScroll();
  }
}

void TscGPComboBox::LeftReleased(const QPoint& global) {
  const TscGPControlScrollBar* bar = list_->VertScrollBar();
  const QPoint local = list_->mapFromGlobal(global);
  const bool on_bar = bar->Dragging() || bar->Paging() || (bar->Visible() && bar->Bounds().contains(local));
  const bool closes = !on_bar && (lb_down_ || was_in_lb_);
  EndPointerTracking();
  // The release that ends the press which opened the list leaves it open.
  if (closes) CloseUp(list_->geometry().contains(global));
}

bool TscGPComboBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched != list_ || !drop_down_) return TscCustomActiveControl::eventFilter(watched, event);
  const TscGPControlScrollBar* bar = list_->VertScrollBar();
  const bool bar_busy = bar->Dragging() || bar->Paging();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      return ListMousePress(static_cast<QMouseEvent*>(event));
    case QEvent::MouseButtonDblClick:
      return true;
    case QEvent::MouseMove: {
      auto* move = static_cast<QMouseEvent*>(event);
      if (bar_busy || !lb_down_ || !(move->buttons() & Qt::LeftButton)) return false;  // the list's own hover
      PointerMoved(move->globalPosition().toPoint());
      return true;
    }
    case QEvent::MouseButtonRelease: {
      auto* release = static_cast<QMouseEvent*>(event);
      if (release->button() != Qt::LeftButton) return true;
      if (bar_busy) return false;  // the scroll bar ends its drag or paging
      LeftReleased(release->globalPosition().toPoint());
      return true;
    }
    default:
      return false;
  }
}

void TscGPComboBox::DoMouseEnter() {
  if (!drop_down_) TscCustomActiveControl::DoMouseEnter();
}

void TscGPComboBox::DoMouseLeave() {
  if (!drop_down_) TscCustomActiveControl::DoMouseLeave();
}

// --- keyboard and wheel ------------------------------------------------------------------------

bool TscGPComboBox::HandleNavigationKey(int key) {
  switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Left:
      MoveBy(list_->PreviousIndex());
      return true;
    case Qt::Key_Down:
    case Qt::Key_Right:
      MoveBy(list_->NextSelectableIndex());
      return true;
    case Qt::Key_PageUp:
      SizeList();
      MoveBy(list_->PageUpIndex());
      return true;
    case Qt::Key_PageDown:
      SizeList();
      MoveBy(list_->PageDownIndex());
      return true;
    default:
      return false;
  }
}

void TscGPComboBox::TypeAhead(const QString& text) {
  if (auto_complete_) {
    search_text_ += text;
    search_timer_->start();
    const int index = list_->IndexOfCaption(search_text_, true);
    if (index >= 0) SetItemIndex(index);
    return;
  }
  const int index = list_->NextIndex(text);
  if (index >= 0) SetItemIndex(index);
}

void TscGPComboBox::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  emit OnKeyDown(this, key, event->modifiers());
  const bool alt = event->modifiers() & Qt::AltModifier;
  if (alt && (key == Qt::Key_Up || key == Qt::Key_Left)) {
    if (drop_down_) CloseUp(false);
    return;
  }
  if (alt && (key == Qt::Key_Down || key == Qt::Key_Right)) {
    if (!drop_down_) DropDown();
    return;
  }
  if (HandleNavigationKey(key)) return;
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && drop_down_) {
    CloseUp(true);
    return;
  }
  if (key == Qt::Key_Escape && drop_down_) {
    CloseUp(false);
    return;
  }
  const QString text = event->text();
  const bool typed = !text.isEmpty() && text.front().unicode() >= 34 &&
                     !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (typed) {
    emit OnKeyPress(this, text);
    TypeAhead(text);
    return;
  }
  TscCustomActiveControl::keyPressEvent(event);
}

void TscGPComboBox::keyReleaseEvent(QKeyEvent* event) {
  emit OnKeyUp(this, event->key(), event->modifiers());
  TscCustomActiveControl::keyReleaseEvent(event);
}

void TscGPComboBox::WheelMove(int steps) {
  // Positive steps roll away from the user: one item up each.
  for (int i = 0; i < std::abs(steps); ++i) {
    const int index = steps > 0 ? list_->PreviousIndex() : list_->NextSelectableIndex();
    if (!drop_down_) {
      MoveBy(index);
    } else if (index >= 0) {
      list_->SelectUnderPointer(index);
    }
  }
}

void TscGPComboBox::wheelEvent(QWheelEvent* event) {
  event->accept();
  const int steps = wheel_.Steps(event->angleDelta().y());
  if (!CheckedListMode()) WheelMove(steps);
}

// --- focus and state ---------------------------------------------------------------------------

void TscGPComboBox::focusInEvent(QFocusEvent* event) {
  TscCustomActiveControl::focusInEvent(event);
  emit OnEnter(this);
  CaptureParentBackground();
  RePaintControl();
}

void TscGPComboBox::focusOutEvent(QFocusEvent* event) {
  TscCustomActiveControl::focusOutEvent(event);
  CloseUp(false);
  emit OnExit(this);
  RePaintControl();
}

void TscGPComboBox::hideEvent(QHideEvent* event) {
  CloseUp(false);
  TscCustomActiveControl::hideEvent(event);
}

void TscGPComboBox::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) CloseUp(false);
  TscCustomActiveControl::changeEvent(event);
}

TscsCtrlState TscGPComboBox::GetCtrlState() const {
  if (drop_down_) return scsPressed;
  if (ShowsFocus(this)) return scsFocused;
  return TscCustomActiveControl::GetCtrlState();
}

QString TscGPComboBox::AccessibleValueText() const {
  const TscGPListBoxItem* item = Items()->Item(ItemIndex());
  return item ? item->SpokenName() : QString();
}

// --- drawing -----------------------------------------------------------------------------------

QRect TscGPComboBox::ChevronRect() const {
  const int arrow = options_->ArrowSize();
  int gap;
  if (content_margin_ >= 1) {
    gap = content_margin_ + arrow;
  } else if (options_->ShapeStyle() == TscGPComboOptions::scgpcssRoundedLeftRight) {
    gap = arrow + Height() / 4;
  } else {
    gap = std::max(Height() / 10, 4 * options_->FrameWidth()) + arrow;
  }
  return QRect(Width() - gap, Height() / 2 - arrow / 2 - 2, arrow, arrow);
}

QRect TscGPComboBox::ContentRect() const {
  int left;
  if (content_margin_ >= 1) {
    left = content_margin_;
  } else if (options_->ShapeStyle() == TscGPComboOptions::scgpcssRoundedLeftRight) {
    left = Height() / 4;
  } else {
    left = RoundPixels(2 * ScaleFactor()) + 2 * options_->FrameWidth();
  }
  return QRect(left, 0, ChevronRect().left() - left, Height());
}

void TscGPComboBox::DrawFace(QPainter& painter, TscsCtrlState state) {
  const int frame_width = options_->FrameWidth();
  switch (options_->ShapeStyle()) {
    case TscGPComboOptions::scgpcssRect:
      DrawGPButtonShape(painter, *options_, TscGPButtonOptions::scgpRect, rect(), state);
      break;
    case TscGPComboOptions::scgpcssRoundedRect:
      DrawGPButtonShape(painter, *options_, TscGPButtonOptions::scgpRoundedRect, rect(), state);
      break;
    case TscGPComboOptions::scgpcssRoundedLeftRight:
      DrawGPButtonShape(painter, *options_, TscGPButtonOptions::scgpRoundedLeftRight, rect(), state);
      break;
    case TscGPComboOptions::scgpcssLine:
      // A bar along the bottom edge in the frame colour; nothing is filled.
      painter.fillRect(QRectF(frame_width / 2.0, Height() - frame_width, Width() - frame_width, frame_width),
                       options_->StateFrameColor(state));
      break;
    case TscGPComboOptions::scgpcssNone:
      break;
  }
}

void TscGPComboBox::DrawChevron(QPainter& painter, const QColor& textColor) {
  const QRectF box = ToGPRectF(ChevronRect());
  QPainterPath chevron;
  chevron.moveTo(box.left(), box.top() + box.height() / 2);
  chevron.lineTo(box.left() + box.width() / 2, box.bottom());
  chevron.lineTo(box.right(), box.top() + box.height() / 2);
  QColor color = textColor;
  color.setAlpha(kChevronAlpha);
  painter.setPen(QPen(color, RoundPixels(2 * ScaleFactor()), Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(chevron);
}

bool TscGPComboBox::HasContent() const {
  const int index = ShownIndex();
  return CheckedListMode() || (index >= 0 && index < Items()->Count());
}

QString TscGPComboBox::CheckedCaptions() const {
  QStringList captions;
  for (int i = 0; i < Items()->Count(); ++i) {
    if (Items()->Item(i)->Checked()) captions.append(Items()->Item(i)->Caption());
  }
  return captions.join(QStringLiteral("; "));
}

void TscGPComboBox::DrawComboItem(QPainter& painter, const QRect& area, TscsCtrlState state) {
  const QColor text_color = options_->StateFontColor(state);
  if (CheckedListMode()) {
    if (checked_list_wrap_) {
      DrawItemCaption(painter, area, CheckedCaptions(), GetFont()->ToQFont(), text_color);
    } else {
      painter.setPen(text_color);
      const CaptionFormat line{.access_markers = false, .alignment = Qt::AlignLeft | Qt::AlignVCenter, .elide_right = true};
      DrawCaption(painter, area.adjusted(0, 0, -2, 0), CheckedCaptions(), GetFont()->ToQFont(), line);
    }
    return;
  }
  const TscGPListBoxItem* item = Items()->Item(ShownIndex());
  if (!item) return;
  QRect content = area;
  if (ImageList* images = Images(); images && show_item_image_) {
    if (item->ImageIndex() >= 0 && item->ImageIndex() < images->Count()) {
      images->Draw(painter, content.left(), content.top() + (content.height() - images->Height()) / 2,
                   item->ImageIndex(), item->Enabled());
    }
    content.setLeft(content.left() + images->Width() + ListBoxItemSpacing());
  }
  if (show_item_detail_) {
    const QFont detail_font = DetailFont()->ToQFont();
    const int band_top = content.bottom() + 1 - FontTextCell(detail_font).Height() - RoundPixels(4 * ScaleFactor()) -
                         options_->FrameWidth();
    painter.setPen(DetailTextColor(text_color));
    DrawCaption(painter, QRect(content.left(), band_top, content.width() - 2, content.bottom() + 1 - band_top),
                item->Detail(), detail_font, CaptionFormat{.access_markers = false});
    content.setBottom(band_top - 1);
  }
  DrawItemCaption(painter, content, item->Caption(), GetFont()->ToQFont(), text_color);
}

void TscGPComboBox::DrawControl(QPainter& painter, TscsCtrlState state) {
  painter.setRenderHint(QPainter::Antialiasing);
  DrawFace(painter, state);
  DrawChevron(painter, options_->StateFontColor(state));
  if (HasContent()) DrawComboItem(painter, ContentRect(), state);
  // The keyboard's focus shows as dots around the face, above the bottom bar, which no other state
  // draws (the focused colours are the hot ones).
  if (state == scsFocused) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int bar = std::max(1, options_->FrameWidth());
    DrawFocusDots(painter, rect().adjusted(0, 0, 0, -bar), options_->StateFontColor(state), ScaleFactor() >= 1.5 ? 2 : 1);
  }
}

}  // namespace orvelle
