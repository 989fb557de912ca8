#include "controls/gp_list_box.h"

#include "controls/accessible.h"
#include "controls/caption_text.h"
#include "toolkit/theme.h"

#include <QAccessible>
#include <QHash>

#include <QFontMetrics>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace orvelle {
namespace {

char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c; }

// Caption comparison of the list's searches: ASCII letters case-insensitive, every other code
// unit exact.
bool AsciiEqual(QStringView a, QStringView b) {
  if (a.size() != b.size()) return false;
  for (qsizetype i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i].unicode()) != AsciiLower(b[i].unicode())) return false;
  }
  return true;
}

bool AsciiMatches(const QString& text, const QString& wanted, bool prefix) {
  if (prefix) return text.size() >= wanted.size() && AsciiEqual(QStringView(text).left(wanted.size()), wanted);
  return AsciiEqual(text, wanted);
}

// The colour halfway between two colours (the disabled row's text over its background).
QColor Halfway(const QColor& a, const QColor& b) {
  return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2, a.alpha());
}

}  // namespace

void DrawItemCaption(QPainter& painter, const QRect& area, const QString& caption, const QFont& font,
                     const QColor& color) {
  if (caption.isEmpty() || area.width() <= 0) return;
  const CaptionFormat format{.access_markers = false, .word_wrap = true, .alignment = Qt::AlignLeft};
  const int text_height = MeasureCaption(caption, font, format, area.width()).height();
  const int top = area.top() + std::max(0, (area.height() - text_height) / 2);
  painter.save();
  painter.setClipRect(area, Qt::IntersectClip);
  painter.setPen(color);
  DrawCaption(painter, QRect(area.left(), top, area.width() - 2, area.bottom() + 1 - top), caption, font, format);
  painter.restore();
}

QColor DetailTextColor(const QColor& captionColor) {
  const Color rgb = Color::FromRgb(captionColor.red(), captionColor.green(), captionColor.blue());
  const bool light = (captionColor.red() + captionColor.green() + captionColor.blue()) / 3 > 126;
  return ResolveColor(light ? DarkerColor(rgb, 40) : LighterColor(rgb, 35), false, captionColor.alpha());
}


// --- items -------------------------------------------------------------------------------------

TscGPListBoxItem::TscGPListBoxItem(TscGPListBoxItems* owner) : QObject(owner), owner_(owner) {}

void TscGPListBoxItem::Assign(const TscGPListBoxItem& other) {
  header_ = other.header_;
  enabled_ = other.enabled_;
  caption_ = other.caption_;
  accessible_name_ = other.accessible_name_;
  detail_ = other.detail_;
  image_index_ = other.image_index_;
  checked_ = other.checked_;
  indent_ = other.indent_;
  data_ = other.data_;
  if (owner_) emit owner_->Changed();
}

TscGPListBoxItem* TscGPListBoxItems::Item(int index) const {
  return index >= 0 && index < Count() ? items_[index] : nullptr;
}

TscGPListBoxItem* TscGPListBoxItems::Add() { return Insert(Count()); }

TscGPListBoxItem* TscGPListBoxItems::Insert(int index) {
  auto* item = new TscGPListBoxItem(this);
  items_.insert(std::clamp(index, 0, Count()), item);
  emit Changed();
  return item;
}

void TscGPListBoxItems::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  delete items_.takeAt(index);
  emit Changed();
}

void TscGPListBoxItems::Clear() {
  qDeleteAll(items_);
  items_.clear();
  emit Changed();
}

void TscGPListBoxItems::Assign(const TscGPListBoxItems& other) {
  if (&other == this) return;
  QSignalBlocker quiet(this);
  Clear();
  for (const TscGPListBoxItem* source : other.items_) Add()->Assign(*source);
  quiet.unblock();
  emit Changed();
}

void TscGPListBoxItems::Sort() {
  std::stable_sort(items_.begin(), items_.end(),
                   [](const TscGPListBoxItem* a, const TscGPListBoxItem* b) { return a->Caption() < b->Caption(); });
  emit Changed();
}

// --- scrolling base ----------------------------------------------------------------------------

TscGPScrollingControl::TscGPScrollingControl(QWidget* parent)
    : TscCustomControl(parent),
      options_(new TscGPScrollingControlOptions(this)),
      scroll_bar_options_(new TscGPControlScrollBarOptions(this)),
      vert_scroll_bar_(new TscGPControlScrollBar(this, scroll_bar_options_)) {
  SetTransparentBackground(false);
  setMouseTracking(true);
  connect(options_, &TscOptions::Changed, this, &TscCustomControl::RePaintControl);
  connect(scroll_bar_options_, &TscOptions::Changed, this, &TscCustomControl::RePaintControl);
  connect(vert_scroll_bar_, &TscGPControlScrollBar::Invalidated, this, &TscCustomControl::RePaintControl);
  connect(vert_scroll_bar_, &TscGPControlScrollBar::PositionChanged, this,
          &TscGPScrollingControl::ScrollBarPositionChanged);
}

QRect TscGPScrollingControl::FrameInnerRect() const {
  const int frame = options_->FrameWidth();
  return rect().adjusted(frame, frame, -frame, -frame);
}

void TscGPScrollingControl::UpdateScrollBar() { PlaceScrollBar(); }

void TscGPScrollingControl::PlaceScrollBar() {
  const QRect inner = FrameInnerRect();
  const int size = scroll_bar_options_->Size();
  vert_scroll_bar_->SetBounds(QRect(inner.right() + 1 - size, inner.top(), size, inner.height()));
}

void TscGPScrollingControl::DrawContent(QPainter&) {}

void TscGPScrollingControl::DrawFrameAndFill(QPainter& painter) {
  const bool themed = UsesStyle(seClient);
  DrawOpaqueBackground(painter);
  const int frame = options_->FrameWidth();
  QRectF inner = ToGPRectF(rect());
  InflateGPRectF(inner, -frame, -frame);
  if (!options_->FillColor().IsNone() && options_->FillColorAlpha() > 0) {
    const QColor fill = ResolveColor(options_->FillColor(), themed, options_->FillColorAlpha());
    if (options_->FillStyle() == TscGPStateOptions::scgpsfGradient) {
      const QColor fill2 = ResolveColor(options_->FillColor2(), themed, options_->FillColor2Alpha());
      painter.fillRect(inner, AngledGradient(inner, options_->FillGradientAngle(), fill, fill2));
    } else {
      painter.fillRect(inner, fill);
    }
  }
  if (frame > 0 && !options_->FrameColor().IsNone() && options_->FrameColorAlpha() > 0) {
    QRectF outline = ToGPRectF(rect());
    InflateGPRectF(outline, -frame / 2.0, -frame / 2.0);
    painter.setPen(QPen(ResolveColor(options_->FrameColor(), themed, options_->FrameColorAlpha()), frame,
                        Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(outline);
  }
}

void TscGPScrollingControl::DrawControl(QPainter& painter, TscsCtrlState) {
  UpdateScrollBar();
  painter.setRenderHint(QPainter::Antialiasing);
  DrawFrameAndFill(painter);
  painter.save();
  painter.setClipRect(FrameInnerRect());
  DrawContent(painter);
  painter.restore();
  vert_scroll_bar_->Draw(painter, UsesStyle(seClient));
}

void TscGPScrollingControl::ScalePixelOptions(int m, int d) {
  options_->Scale(m, d);
  scroll_bar_options_->Scale(m, d);
}

bool TscGPScrollingControl::ScrollBarMousePress(const QPoint& p) { return vert_scroll_bar_->MousePress(p); }

bool TscGPScrollingControl::ScrollBarMouseMove(const QPoint& p) { return vert_scroll_bar_->MouseMove(p); }

bool TscGPScrollingControl::ScrollBarMouseRelease(const QPoint& p) { return vert_scroll_bar_->MouseRelease(p); }

void TscGPScrollingControl::leaveEvent(QEvent* event) {
  vert_scroll_bar_->MouseLeave();
  TscCustomControl::leaveEvent(event);
}

void TscGPScrollingControl::hideEvent(QHideEvent* event) {
  vert_scroll_bar_->CancelPointerInput();
  TscCustomControl::hideEvent(event);
}

// --- item list ---------------------------------------------------------------------------------

TscGPCustomListBox::TscGPCustomListBox(QWidget* parent)
    : TscGPScrollingControl(parent),
      items_(new TscGPListBoxItems(this)),
      detail_font_(new orvelle::Font(this)),
      header_font_(new orvelle::Font(this)),
      selection_options_(new TscGPSelectionOptions(this)),
      header_options_(new TscGPHeaderOptions(this)),
      auto_scroll_timer_(new QTimer(this)) {
  InstallListAccessibility();
  resize(150, 150);
  SetColor(clWindow);
  detail_font_->Assign(*GetFont());
  header_font_->Assign(*GetFont());
  header_font_->SetStyle(orvelle::Font::fsBold);
  connect(items_, &TscGPListBoxItems::Changed, this, &TscGPCustomListBox::ItemsChanged);
  connect(detail_font_, &orvelle::Font::Changed, this, &TscCustomControl::RePaintControl);
  connect(header_font_, &orvelle::Font::Changed, this, &TscCustomControl::RePaintControl);
  connect(selection_options_, &TscOptions::Changed, this, &TscCustomControl::RePaintControl);
  connect(header_options_, &TscOptions::Changed, this, &TscCustomControl::RePaintControl);
  auto_scroll_timer_->setInterval(kAutoScrollInterval);
  connect(auto_scroll_timer_, &QTimer::timeout, this, &TscGPCustomListBox::AutoScrollTick);
}

void TscGPCustomListBox::ItemsChanged() {
  if (update_count_ == 0) RePaintControl();
}

void TscGPCustomListBox::BeginUpdateItems() {
  if (update_count_++ == 0) setUpdatesEnabled(false);
}

void TscGPCustomListBox::EndUpdateItems() {
  if (update_count_ == 0) return;
  if (--update_count_ > 0) return;
  setUpdatesEnabled(true);
  RePaintControl();
}

void TscGPCustomListBox::SetItemHeight(int value) {
  if (value <= 0 || value == item_height_) return;
  item_height_ = value;
  RePaintControl();
}

void TscGPCustomListBox::SetHeaderHeight(int value) {
  if (value <= 0 || value == header_height_) return;
  header_height_ = value;
  RePaintControl();
}

void TscGPCustomListBox::SetItemMargin(int value) {
  if (value < kMinMargin || value == item_margin_) return;
  item_margin_ = value;
  RePaintControl();
}

void TscGPCustomListBox::SetIndentMargin(int value) {
  if (value < kMinMargin || value == indent_margin_) return;
  indent_margin_ = value;
  RePaintControl();
}

void TscGPCustomListBox::SetItemSpacing(int value) {
  if (value < 0 || value == item_spacing_) return;
  item_spacing_ = value;
  RePaintControl();
}

void TscGPCustomListBox::SetShowLines(bool value) { StoreAndRepaint(show_lines_, value); }

void TscGPCustomListBox::SetLineColor(orvelle::Color value) { StoreAndRepaint(line_color_, value); }

void TscGPCustomListBox::SetLineColorAlpha(int value) {
  if (value < 0 || value > 255 || value == line_color_alpha_) return;
  line_color_alpha_ = value;
  RePaintControl();
}

void TscGPCustomListBox::SetShowItemDetails(bool value) { StoreAndRepaint(show_item_details_, value); }

void TscGPCustomListBox::SetImages(ImageList* value) {
  if (value == images_) return;
  if (images_) disconnect(images_, nullptr, this, nullptr);
  images_ = value;
  if (images_) connect(images_, &ImageList::Changed, this, &TscCustomControl::RePaintControl);
  RePaintControl();
}

void TscGPCustomListBox::SetCheckedListMode(bool value) { StoreAndRepaint(checked_list_mode_, value); }

// --- selection ---------------------------------------------------------------------------------

void TscGPCustomListBox::ApplyIndex(int value) {
  item_index_ = value;
  for (int i = 0; i < items_->Count(); ++i) items_->Item(i)->active_ = i == value;
  ScrollToItem(value);
  RePaintControl();
}

void TscGPCustomListBox::InitItemIndex(int value) {
  const TscGPListBoxItem* item = items_->Item(value);
  if (item && !item->Selectable()) return;
  ApplyIndex(value);
}

void TscGPCustomListBox::SetItemIndex(int value) {
  const TscGPListBoxItem* item = items_->Item(value);
  if (item && !item->Selectable()) return;
  ApplyIndex(value);
  if (item && !Loading()) {
    emit OnItemClick(this);
    SelectionHook();
  }
}

void TscGPCustomListBox::SelectUnderPointer(int index) { ApplyIndex(index); }

int TscGPCustomListBox::FindSelectable(int from, int step) const {
  for (int i = from; i >= 0 && i < items_->Count(); i += step) {
    if (items_->Item(i)->Selectable()) return i;
  }
  return -1;
}

int TscGPCustomListBox::PreviousIndex() const {
  if (item_index_ < 0) return -1;
  return FindSelectable(std::min(item_index_, items_->Count()) - 1, -1);
}

int TscGPCustomListBox::NextSelectableIndex() const { return FindSelectable(item_index_ < 0 ? 0 : item_index_ + 1, 1); }

int TscGPCustomListBox::VisibleRows() const { return std::max(1, ItemsRect().height() / item_height_); }

int TscGPCustomListBox::PageDownIndex() const {
  const int count = items_->Count();
  if (count == 0) return -1;
  const int from = std::min(item_index_, count - 1);  // -1 when none is selected: before item 0
  const int target = std::min(from + VisibleRows() + 1, count - 1);
  for (int i = from + 1; i <= target; ++i) {
    if (items_->Item(i)->Header()) return FindSelectable(i + 1, 1);
  }
  if (items_->Item(target)->Selectable()) return target;
  const int beyond = FindSelectable(target + 1, 1);
  if (beyond >= 0) return beyond;
  const int before = FindSelectable(target - 1, -1);
  return before > from ? before : -1;
}

int TscGPCustomListBox::PageUpIndex() const {
  const int count = items_->Count();
  if (item_index_ < 0 || count == 0) return -1;
  const int from = std::min(item_index_, count);
  const int target = std::max(from - VisibleRows() - 1, 0);
  for (int i = from - 1; i >= target; --i) {
    if (items_->Item(i)->Header()) return FindSelectable(i - 1, -1);
  }
  if (items_->Item(target)->Selectable()) return target;
  const int beyond = FindSelectable(target - 1, -1);
  if (beyond >= 0) return beyond;
  const int after = FindSelectable(target + 1, 1);
  return after >= 0 && after < from ? after : -1;
}

int TscGPCustomListBox::NextIndex(const QString& text) const {
  const int count = items_->Count();
  if (count == 0) return -1;
  const int start = item_index_ < 0 || item_index_ >= count ? 0 : item_index_ + 1;
  for (int k = 0; k < count; ++k) {
    const int i = (start + k) % count;
    const TscGPListBoxItem* item = items_->Item(i);
    if (item->Selectable() && AsciiMatches(item->Caption(), text, true)) return i;
  }
  return -1;
}

int TscGPCustomListBox::IndexOfCaption(const QString& text, bool prefix) const {
  for (int i = 0; i < items_->Count(); ++i) {
    const TscGPListBoxItem* item = items_->Item(i);
    if (!item->Header() && AsciiMatches(item->Caption(), text, prefix)) return i;
  }
  return -1;
}

int TscGPCustomListBox::IndexOfDetail(const QString& text, bool prefix) const {
  for (int i = 0; i < items_->Count(); ++i) {
    if (AsciiMatches(items_->Item(i)->Detail(), text, prefix)) return i;
  }
  return -1;
}

void TscGPCustomListBox::Sort() {
  // The selection stays on the item that was selected.
  const TscGPListBoxItem* selected = items_->Item(item_index_);
  BeginUpdateItems();
  items_->Sort();
  if (selected) {
    for (int i = 0; i < items_->Count(); ++i) {
      if (items_->Item(i) == selected) item_index_ = i;
    }
  }
  EndUpdateItems();
}

void TscGPCustomListBox::StartAutoScroll(AutoScrollDirection direction) {
  if (direction == asNone) {
    StopAutoScroll();
    return;
  }
  if (direction == auto_scroll_ && auto_scroll_timer_->isActive()) return;
  auto_scroll_ = direction;
  auto_scroll_timer_->start();
}

void TscGPCustomListBox::StopAutoScroll() {
  auto_scroll_ = asNone;
  auto_scroll_timer_->stop();
}

void TscGPCustomListBox::AutoScrollTick() {
  const int index = auto_scroll_ == asUp ? PreviousIndex() : NextSelectableIndex();
  if (index >= 0) SelectUnderPointer(index);
}

// --- layout and scrolling ----------------------------------------------------------------------

int TscGPCustomListBox::RowHeight(const TscGPListBoxItem& item) const {
  return item.Header() ? header_height_ : item_height_;
}

int TscGPCustomListBox::ContentHeight() const {
  int height = 0;
  for (int i = 0; i < items_->Count(); ++i) height += RowHeight(*items_->Item(i));
  return height;
}

QRect TscGPCustomListBox::ItemsRect() const {
  QRect area = FrameInnerRect();
  if (VertScrollBar()->Visible() &&
      ScrollBarOptions()->Position() == TscGPControlScrollBarOptions::scgpsbDefault) {
    area.setRight(area.right() - ScrollBarOptions()->Size());
  }
  return area;
}

void TscGPCustomListBox::UpdateScrollBar() {
  TscGPScrollingControl::UpdateScrollBar();
  const int content = ContentHeight();
  const int area = FrameInnerRect().height();
  TscGPControlScrollBar* bar = VertScrollBar();
  const QSignalBlocker quiet(bar);
  if (content > area + 1) {
    bar->SetParams(0, content - 1, area);
    bar->SetPosition(scroll_offset_);
    scroll_offset_ = bar->Position();
  } else {
    bar->SetParams(0, 0, 0);
    scroll_offset_ = 0;
  }
}

void TscGPCustomListBox::LayoutItems() {
  UpdateScrollBar();
  const QRect area = ItemsRect();
  const int check_side = RoundPixels(kCheckBoxSize * ScaleFactor());
  int top = area.top() - scroll_offset_;
  for (int i = 0; i < items_->Count(); ++i) {
    TscGPListBoxItem* item = items_->Item(i);
    const QRect row(area.left(), top, area.width(), RowHeight(*item));
    item->item_rect_ = row;
    item->is_visible_ = row.intersects(area);
    item->check_rect_ = checked_list_mode_ && !item->Header()
                            ? QRect(row.left() + item_margin_ + item->Indent() * indent_margin_,
                                    row.top() + (row.height() - check_side) / 2, check_side, check_side)
                            : QRect();
    top += row.height();
  }
}

void TscGPCustomListBox::Scroll(int offset) {
  LayoutItems();
  TscGPControlScrollBar* bar = VertScrollBar();
  const int limit = bar->Visible() ? bar->MaxPosition() : 0;
  offset = std::clamp(offset, 0, limit);
  {
    const QSignalBlocker quiet(bar);
    if (bar->Visible()) bar->SetPosition(offset);
  }
  if (offset == scroll_offset_) return;
  scroll_offset_ = offset;
  RePaintControl();
}

void TscGPCustomListBox::ScrollBarPositionChanged() {
  if (VertScrollBar()->Position() == scroll_offset_) return;
  scroll_offset_ = VertScrollBar()->Position();
  RePaintControl();
}

void TscGPCustomListBox::ScrollToItem(int index) {
  LayoutItems();
  const TscGPListBoxItem* item = items_->Item(index);
  if (!item) return;
  const QRect area = ItemsRect();
  const QRect row = item->ItemRect();
  int offset = scroll_offset_;
  if (row.bottom() >= area.bottom()) {
    offset += row.bottom() - area.bottom();
  } else if (row.top() <= area.top()) {
    const TscGPListBoxItem* first = items_->Item(0);
    offset = index == 1 && first->Header() ? 0 : offset - (area.top() - row.top());
  }
  Scroll(offset);
}

void TscGPCustomListBox::WheelScroll(int steps) {
  if (steps == 0) return;
  LayoutItems();
  if (!VertScrollBar()->Visible()) return;
  Scroll(scroll_offset_ + steps * item_height_);
}

int TscGPCustomListBox::ItemAtPos(const QPoint& p) {
  LayoutItems();
  const QRect area = ItemsRect();
  if (!area.contains(p)) return -1;
  const TscGPControlScrollBar* bar = VertScrollBar();
  if (bar->Visible() && bar->Bounds().contains(p)) return -1;
  for (int i = 0; i < items_->Count(); ++i) {
    const TscGPListBoxItem* item = items_->Item(i);
    if (item->IsVisible() && item->Enabled() && item->ItemRect().contains(p)) return i;
  }
  return -1;
}

// --- drawing -----------------------------------------------------------------------------------

void TscGPCustomListBox::DrawContent(QPainter& painter) {
  LayoutItems();
  const QRect area = ItemsRect();
  painter.save();
  painter.setClipRect(area);
  for (int i = 0; i < items_->Count(); ++i) {
    const TscGPListBoxItem* item = items_->Item(i);
    if (item->IsVisible()) DrawItem(painter, i, item->ItemRect());
  }
  painter.restore();
}

void TscGPCustomListBox::DrawSelection(QPainter& painter, const QRect& rect) {
  const bool focused = hasFocus();
  const TscGPSelectionOptions& o = *selection_options_;
  const Color color = focused ? o.FocusedColor() : o.GetColor();
  const int alpha = focused ? o.FocusedColorAlpha() : o.ColorAlpha();
  const bool gradient = (focused ? o.FocusedFillStyle() : o.FillStyle()) == TscGPStateOptions::scgpsfGradient;
  const bool themed = UsesStyle(seClient);
  if (!gradient) {
    painter.fillRect(rect, ResolveColor(color, themed, alpha));
    return;
  }
  const Color base = themed ? GetStyleColor(color) : color;
  const QColor light = ResolveColor(LighterColor(base, TscGPStateOptions::kGradientOffset), false, alpha);
  const QColor dark = ResolveColor(DarkerColor(base, TscGPStateOptions::kGradientOffset), false, alpha);
  const int angle = focused ? o.FocusedGradientAngle() : o.GradientAngle();
  painter.fillRect(rect, AngledGradient(ToGPRectF(rect), angle, light, dark));
}

QColor TscGPCustomListBox::CaptionColor(const TscGPListBoxItem& item, bool selected) const {
  const bool themed = UsesStyle(seFont);
  if (selected) {
    const Color font_color = hasFocus() ? selection_options_->FocusedFontColor() : selection_options_->FontColor();
    if (font_color == clHighlightText && IsCustomStyleActive()) {
      const Color cell = GetStyleFontColor(QStringLiteral("GridItemSelected"));
      if (!cell.IsNone()) return ResolveColor(cell, false);
    }
    return ResolveColor(font_color, themed);
  }
  const QColor normal = ResolveColor(GetFont()->GetColor(), themed);
  if (item.Enabled()) return normal;
  return Halfway(normal, ResolveColor(Options()->FillColor(), UsesStyle(seClient)));
}

void TscGPCustomListBox::DrawHeader(QPainter& painter, const TscGPListBoxItem& item, const QRect& rect) {
  const TscGPHeaderOptions& o = *header_options_;
  const bool themed = UsesStyle(seClient);
  if (o.FillStyle() == TscGPStateOptions::scgpsfGradient) {
    const Color base = themed ? GetStyleColor(o.GetColor()) : o.GetColor();
    painter.fillRect(rect, AngledGradient(ToGPRectF(rect), o.GradientAngle(),
                                          ResolveColor(LighterColor(base, TscGPStateOptions::kGradientOffset), false, o.ColorAlpha()),
                                          ResolveColor(DarkerColor(base, TscGPStateOptions::kGradientOffset), false, o.ColorAlpha())));
  } else {
    painter.fillRect(rect, ResolveColor(o.GetColor(), themed, o.ColorAlpha()));
  }
  const QRect text_rect = rect.adjusted(o.Margin() + item.Indent() * indent_margin_, 0, -o.Margin(), 0);
  painter.setPen(ResolveColor(header_font_->GetColor(), UsesStyle(seFont)));
  DrawCaption(painter, text_rect, item.Caption(), header_font_->ToQFont(),
              CaptionFormat{.access_markers = false, .alignment = Qt::AlignLeft | Qt::AlignVCenter});
}

void TscGPCustomListBox::DrawCheckBox(QPainter& painter, const TscGPListBoxItem& item, const QColor& color) {
  QRectF box = ToGPRectF(item.CheckRect());
  InflateGPRectF(box, -0.5, -0.5);
  painter.setPen(QPen(color, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(box);
  if (!item.Checked()) return;
  QPainterPath tick;
  tick.moveTo(box.left() + box.width() * 0.2, box.top() + box.height() * 0.5);
  tick.lineTo(box.left() + box.width() * 0.42, box.top() + box.height() * 0.75);
  tick.lineTo(box.left() + box.width() * 0.8, box.top() + box.height() * 0.25);
  painter.setPen(QPen(color, std::max(1.5, 1.5 * ScaleFactor())));
  painter.drawPath(tick);
}

void TscGPCustomListBox::DrawItem(QPainter& painter, int index, const QRect& rect) {
  const TscGPListBoxItem& item = *items_->Item(index);
  if (item.Header()) {
    DrawHeader(painter, item, rect);
    return;
  }
  const bool last = index == items_->Count() - 1;
  if (show_lines_ && !(last && VertScrollBar()->Visible())) {
    painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1),
                     ResolveColor(line_color_, UsesStyle(seClient), line_color_alpha_));
  }
  const bool selected = index == item_index_ && item.Enabled();
  if (selected) DrawSelection(painter, rect);
  const QColor text_color = CaptionColor(item, selected);

  QRect area = rect.adjusted(item_margin_ + item.Indent() * indent_margin_, 0, -RoundPixels(2 * ScaleFactor()), 0);
  if (checked_list_mode_) {
    DrawCheckBox(painter, item, text_color);
    area.setLeft(item.CheckRect().right() + 1 + item_spacing_);
  }
  if (images_) {
    if (item.ImageIndex() >= 0 && item.ImageIndex() < images_->Count()) {
      images_->Draw(painter, area.left(), rect.top() + (rect.height() - images_->Height()) / 2, item.ImageIndex(),
                    item.Enabled());
    }
    area.setLeft(area.left() + images_->Width() + item_spacing_);
  }
  if (show_item_details_) {
    const int band_top = area.bottom() + 1 - FontTextCell(detail_font_->ToQFont()).Height() - RoundPixels(4 * ScaleFactor());
    painter.setPen(DetailTextColor(text_color));
    DrawCaption(painter, QRect(area.left(), band_top, area.width() - 2, area.bottom() + 1 - band_top), item.Detail(),
                detail_font_->ToQFont(), CaptionFormat{.access_markers = false});
    area.setBottom(band_top - 1);
  }
  DrawItemCaption(painter, area, item.Caption(), GetFont()->ToQFont(), text_color);
}

// --- pointer -----------------------------------------------------------------------------------

void TscGPCustomListBox::ToggleItemCheck(int index) {
  TscGPListBoxItem* item = items_->Item(index);
  if (!item) return;
  item->SetChecked(!item->Checked());
  emit OnItemCheckClick(this);
}

void TscGPCustomListBox::mousePressEvent(QMouseEvent* event) {
  TscGPScrollingControl::mousePressEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  if (ScrollBarMousePress(p)) return;
  const int index = ItemAtPos(p);
  const TscGPListBoxItem* item = items_->Item(index);
  if (!item || !item->Selectable()) return;
  if (checked_list_mode_ && item->CheckRect().contains(p)) ToggleItemCheck(index);
  SelectUnderPointer(index);
  mouse_active_ = index;
  mouse_down_ = true;
}

void TscGPCustomListBox::mouseMoveEvent(QMouseEvent* event) {
  TscGPScrollingControl::mouseMoveEvent(event);
  const QPoint p = event->position().toPoint();
  if (ScrollBarMouseMove(p)) return;
  const QRect area = ItemsRect();
  if (!area.contains(p)) {
    if (mouse_down_) StartAutoScroll(p.y() < area.top() ? asUp : asDown);
    return;
  }
  StopAutoScroll();
  if (!mouse_down_ && !mouse_move_change_index_) return;
  const int index = ItemAtPos(p);
  const TscGPListBoxItem* item = items_->Item(index);
  if (!item || !item->Selectable() || index == mouse_active_) return;
  SelectUnderPointer(index);
  mouse_active_ = index;
}

void TscGPCustomListBox::mouseReleaseEvent(QMouseEvent* event) {
  TscGPScrollingControl::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  if (ScrollBarMouseRelease(p)) return;
  StopAutoScroll();
  if (!mouse_down_) return;
  mouse_down_ = false;
  const int index = ItemAtPos(p);
  const TscGPListBoxItem* item = items_->Item(index);
  if (item && item->Selectable()) SetItemIndex(index);
}

void TscGPCustomListBox::wheelEvent(QWheelEvent* event) {
  // Rolled toward the user (a negative delta) scrolls down.
  WheelScroll(-wheel_.Steps(event->angleDelta().y()));
  event->accept();
}

void TscGPCustomListBox::ScalePixelOptions(int m, int d) {
  TscGPScrollingControl::ScalePixelOptions(m, d);
  item_height_ = MulDiv(item_height_, m, d);
  header_height_ = MulDiv(header_height_, m, d);
  item_margin_ = MulDiv(item_margin_, m, d);
  indent_margin_ = MulDiv(indent_margin_, m, d);
  item_spacing_ = MulDiv(item_spacing_, m, d);
  header_font_->SetHeight(MulDiv(header_font_->Height(), m, d));
  detail_font_->SetHeight(MulDiv(detail_font_->Height(), m, d));
  header_options_->Scale(m, d);
}

// --- accessibility -----------------------------------------------------------------------------

namespace {

bool KeyboardWorks(const TscGPCustomListBox& list) {
  if (list.hasFocus()) return true;
  const QWidget* owner = list.isWindow() ? list.parentWidget() : nullptr;
  return owner && owner->hasFocus();
}

// One row of a kit item list as assistive technology sees it: a list item named by its caption
// ("&" is part of the text), selected when it is the list's selection, disabled with its item.
class ListItemAccessible : public QAccessibleInterface {
 public:
  ListItemAccessible(TscGPCustomListBox* list, int index) : list_(list), index_(index) {}

  bool isValid() const override { return list_ && index_ < list_->Items()->Count(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return list_ ? list_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(list_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    const TscGPListBoxItem* item = Item();
    return item && t == QAccessible::Name ? item->SpokenName() : QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    const TscGPListBoxItem* item = Item();
    if (!item) return {};
    list_->LayoutItems();
    return QRect(list_->mapToGlobal(item->ItemRect().topLeft()), item->ItemRect().size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State state;
    const TscGPListBoxItem* item = Item();
    if (!item) return state;
    state.selectable = item->Selectable();
    state.selected = index_ == list_->ItemIndex();
    // The selected row has the keyboard's focus while the list has it: a popup list is worked
    // through the keyboard of the control that opened it.
    state.focusable = item->Selectable();
    state.focused = state.selected && KeyboardWorks(*list_);
    state.disabled = !item->Enabled();
    state.invisible = !item->IsVisible();
    return state;
  }

 private:
  const TscGPListBoxItem* Item() const { return list_ ? list_->Items()->Item(index_) : nullptr; }

  QPointer<TscGPCustomListBox> list_;
  int index_;
};

// A kit item list: a list whose children are its rows.
class ListAccessible : public TscAccessible {
 public:
  explicit ListAccessible(TscGPCustomListBox* list) : TscAccessible(list) {}
  ~ListAccessible() override {
    for (QAccessible::Id id : std::as_const(rows_)) QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return List()->Items()->Count(); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    auto it = rows_.constFind(index);
    if (it == rows_.constEnd()) {
      it = rows_.insert(index, QAccessible::registerAccessibleInterface(new ListItemAccessible(List(), index)));
    }
    return QAccessible::accessibleInterface(*it);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (auto it = rows_.constBegin(); it != rows_.constEnd(); ++it) {
      if (QAccessible::accessibleInterface(it.value()) == child) return it.key();
    }
    return -1;
  }

 private:
  TscGPCustomListBox* List() const { return static_cast<TscGPCustomListBox*>(Control()); }

  mutable QHash<int, QAccessible::Id> rows_;
};

QAccessibleInterface* ListAccessibleFactory(const QString& className, QObject* object) {
  if (className != QLatin1String(TscGPCustomListBox::staticMetaObject.className())) return nullptr;
  auto* list = qobject_cast<TscGPCustomListBox*>(object);
  return list ? new ListAccessible(list) : nullptr;
}

}  // namespace

void InstallListAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&ListAccessibleFactory);
    return true;
  }();
  (void)installed;
}

// --- popup -------------------------------------------------------------------------------------

TscGPPopupListBox::TscGPPopupListBox(QWidget* owner) : TscGPCustomListBox(owner) {
  // A tool-tip window is a top-level window that no platform activates, neither when it shows nor
  // when it is pressed, and that stays above the program's windows: the drop-down's owner window
  // keeps its active look and its focused control.
  setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  setAttribute(Qt::WA_ShowWithoutActivating);
  SetTabStop(false);
  setFocusPolicy(Qt::NoFocus);
  SetPopupMode(true);
  SetMouseMoveChangeIndex(true);
  hide();
  shadow_ = new TscPopupShadow(this);
}

void TscGPPopupListBox::Show(const QPoint& origin) {
  SetMouseActive(-1);
  Scroll(0);
  ScrollToItem(ItemIndex());
  move(origin);
  show();
}

void TscGPPopupListBox::Hide() {
  SetMouseActive(-1);
  StopAutoScroll();
  hide();
}

}  // namespace orvelle
