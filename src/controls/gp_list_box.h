#pragma once

#include "controls/custom_control.h"
#include "controls/gp_scroll_bar.h"
#include "controls/gp_state_options.h"
#include "controls/options.h"
#include "controls/popup_shadow.h"
#include "toolkit/class_registry.h"
#include "toolkit/font.h"
#include "toolkit/image_list.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVariant>

class QTimer;

namespace orvelle {

class TscGPListBoxItems;

// Draws an item's caption into its text area as the kit's item lists and the drop-down's face do:
// measured with word wrap in the area's width, vertically centred (never above the area's top),
// drawn left-aligned with word wrap in the area less 2 pixels at the right; "&" shows as itself.
void DrawItemCaption(QPainter& painter, const QRect& area, const QString& caption, const QFont& font,
                     const QColor& color);
// The colour of an item's detail text beside its caption's colour: 40 % darker when the caption's
// colour is light (the mean of red, green and blue above 126), else 35 % lighter.
QColor DetailTextColor(const QColor& captionColor);

// Installs the accessibility of the kit's item lists (once): a list whose children are its rows.
void InstallListAccessibility();

// Turns wheel input into whole steps: one per notch of 120 units (one message of a standard
// wheel), finer deltas of high-resolution wheels and touch pads adding up until they make one.
// Positive steps are rolls away from the user.
class WheelSteps {
 public:
  static constexpr int kNotch = 120;
  int Steps(int delta) {
    rest_ += delta;
    const int steps = rest_ / kNotch;
    rest_ -= steps * kNotch;
    return steps;
  }

 private:
  int rest_ = 0;
};

// One row of a kit item list: a caption, a detail text (drawn only when the list shows details,
// otherwise carried data such as an id), an image, and whether the row is enabled, a group header,
// checked and indented. The layout fields (ItemRect, CheckRect, IsVisible, Active) are the owning
// list's, recomputed before each drawing.
class TscGPListBoxItem : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool Header READ Header WRITE SetHeader)
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(QString Detail READ Detail WRITE SetDetail)
  Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
  Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)
  Q_PROPERTY(int Indent READ Indent WRITE SetIndent)
  Q_PROPERTY(QString AccessibleName READ AccessibleName WRITE SetAccessibleName)

 public:
  explicit TscGPListBoxItem(TscGPListBoxItems* owner);

  bool Header() const { return header_; }
  void SetHeader(bool value) { Store(header_, value); }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { Store(enabled_, value); }
  QString Caption() const { return caption_; }
  void SetCaption(const QString& value) { Store(caption_, value); }
  QString Detail() const { return detail_; }
  void SetDetail(const QString& value) { Store(detail_, value); }
  int ImageIndex() const { return image_index_; }
  void SetImageIndex(int value) { Store(image_index_, value); }
  bool Checked() const { return checked_; }
  void SetChecked(bool value) { Store(checked_, value); }
  int Indent() const { return indent_; }
  // Negative values are ignored.
  void SetIndent(int value) {
    if (value >= 0) Store(indent_, value);
  }
  // The name assistive technology announces for the row when it is set (a row without a caption
  // is named for what it is); otherwise the caption. Never drawn.
  QString AccessibleName() const { return accessible_name_; }
  void SetAccessibleName(const QString& value) { accessible_name_ = value; }
  QString SpokenName() const { return accessible_name_.isEmpty() ? caption_ : accessible_name_; }
  // A free value of the program's; not stored in layouts and never drawn.
  QVariant Data() const { return data_; }
  void SetData(const QVariant& value) { data_ = value; }

  // Whether a row can be selected: enabled and not a header.
  bool Selectable() const { return enabled_ && !header_; }
  // Copies the published fields and the data of another item.
  void Assign(const TscGPListBoxItem& other);

  // Laid out by the owning list.
  QRect ItemRect() const { return item_rect_; }
  QRect CheckRect() const { return check_rect_; }
  bool IsVisible() const { return is_visible_; }
  bool Active() const { return active_; }

 private:
  friend class TscGPCustomListBox;

  template <class T>
  void Store(T& field, const T& value);

  TscGPListBoxItems* owner_;
  bool header_ = false;
  bool enabled_ = true;
  QString caption_;
  QString accessible_name_;
  QString detail_;
  int image_index_ = -1;
  bool checked_ = false;
  int indent_ = 0;
  QVariant data_;
  QRect item_rect_;
  QRect check_rect_;
  bool is_visible_ = false;
  bool active_ = false;
};

// The ordered items of one list. Every change (an item added, inserted, deleted, the collection
// cleared or assigned, a published field of an item changed) fires Changed; the list repaints.
class TscGPListBoxItems : public Collection {
  Q_OBJECT

 public:
  using Collection::Collection;

  int Count() const { return static_cast<int>(items_.size()); }
  // The item at `index`, nullptr outside 0...Count() - 1.
  TscGPListBoxItem* Item(int index) const;
  TscGPListBoxItem* operator[](int index) const { return Item(index); }
  TscGPListBoxItem* Add();
  // A new item at `index` (clamped to 0...Count()).
  TscGPListBoxItem* Insert(int index);
  // Deletes the item at `index`; nothing outside the range.
  void Delete(int index);
  void Clear();
  // Replaces the items by copies of another collection's.
  void Assign(const TscGPListBoxItems& other);
  // Orders the items by caption, ascending, comparing plain UTF-16 code units.
  void Sort();

  QObject* AddItem() override { return Add(); }

 signals:
  void Changed();

 private:
  friend class TscGPListBoxItem;
  QList<TscGPListBoxItem*> items_;
};

template <class T>
void TscGPListBoxItem::Store(T& field, const T& value) {
  if (field == value) return;
  field = value;
  if (owner_) emit owner_->Changed();
}

// The colours of the selected row: a fill (solid, or a gradient 25 % lighter to 25 % darker at
// GradientAngle) and a text colour; the focused twins apply while the list has the input focus.
class TscGPSelectionOptions : public TscOptions {
  Q_OBJECT
  Q_PROPERTY(orvelle::Color Color READ GetColor WRITE SetColor)
  Q_PROPERTY(int ColorAlpha READ ColorAlpha WRITE SetColorAlpha)
  Q_PROPERTY(orvelle::TscGPStateOptions::TscGPShapeFillStyle FillStyle READ FillStyle WRITE SetFillStyle)
  Q_PROPERTY(int GradientAngle READ GradientAngle WRITE SetGradientAngle)
  Q_PROPERTY(orvelle::Color FontColor READ FontColor WRITE SetFontColor)
  Q_PROPERTY(orvelle::Color FocusedColor READ FocusedColor WRITE SetFocusedColor)
  Q_PROPERTY(int FocusedColorAlpha READ FocusedColorAlpha WRITE SetFocusedColorAlpha)
  Q_PROPERTY(orvelle::TscGPStateOptions::TscGPShapeFillStyle FocusedFillStyle READ FocusedFillStyle WRITE SetFocusedFillStyle)
  Q_PROPERTY(int FocusedGradientAngle READ FocusedGradientAngle WRITE SetFocusedGradientAngle)
  Q_PROPERTY(orvelle::Color FocusedFontColor READ FocusedFontColor WRITE SetFocusedFontColor)

 public:
  using TscGPShapeFillStyle = TscGPStateOptions::TscGPShapeFillStyle;

  explicit TscGPSelectionOptions(QObject* parent = nullptr) : TscOptions(parent) {}

  orvelle::Color GetColor() const { return color_; }
  void SetColor(orvelle::Color value) { Store(color_, value); }
  int ColorAlpha() const { return color_alpha_; }
  void SetColorAlpha(int value) { StoreAlpha(color_alpha_, value); }
  TscGPShapeFillStyle FillStyle() const { return fill_style_; }
  void SetFillStyle(TscGPShapeFillStyle value) { Store(fill_style_, value); }
  int GradientAngle() const { return gradient_angle_; }
  void SetGradientAngle(int value) { StoreAngle(gradient_angle_, value); }
  orvelle::Color FontColor() const { return font_color_; }
  void SetFontColor(orvelle::Color value) { Store(font_color_, value); }
  orvelle::Color FocusedColor() const { return focused_color_; }
  void SetFocusedColor(orvelle::Color value) { Store(focused_color_, value); }
  int FocusedColorAlpha() const { return focused_color_alpha_; }
  void SetFocusedColorAlpha(int value) { StoreAlpha(focused_color_alpha_, value); }
  TscGPShapeFillStyle FocusedFillStyle() const { return focused_fill_style_; }
  void SetFocusedFillStyle(TscGPShapeFillStyle value) { Store(focused_fill_style_, value); }
  int FocusedGradientAngle() const { return focused_gradient_angle_; }
  void SetFocusedGradientAngle(int value) { StoreAngle(focused_gradient_angle_, value); }
  orvelle::Color FocusedFontColor() const { return focused_font_color_; }
  void SetFocusedFontColor(orvelle::Color value) { Store(focused_font_color_, value); }

 private:
  void StoreAlpha(int& field, int value) {
    if (value >= 0 && value <= 255) Store(field, value);
  }
  void StoreAngle(int& field, int value) {
    if (value >= -360 && value <= 360) Store(field, value);
  }

  orvelle::Color color_ = clHighlight;
  int color_alpha_ = 220;
  TscGPShapeFillStyle fill_style_ = TscGPStateOptions::scgpsfColor;
  int gradient_angle_ = 90;
  orvelle::Color font_color_ = clHighlightText;
  orvelle::Color focused_color_ = clHighlight;
  int focused_color_alpha_ = 255;
  TscGPShapeFillStyle focused_fill_style_ = TscGPStateOptions::scgpsfColor;
  int focused_gradient_angle_ = 90;
  orvelle::Color focused_font_color_ = clHighlightText;
};

// The look of group header rows: a fill and the inset of the header's text.
class TscGPHeaderOptions : public TscOptions {
  Q_OBJECT
  Q_PROPERTY(orvelle::Color Color READ GetColor WRITE SetColor)
  Q_PROPERTY(int ColorAlpha READ ColorAlpha WRITE SetColorAlpha)
  Q_PROPERTY(orvelle::TscGPStateOptions::TscGPShapeFillStyle FillStyle READ FillStyle WRITE SetFillStyle)
  Q_PROPERTY(int GradientAngle READ GradientAngle WRITE SetGradientAngle)
  Q_PROPERTY(int Margin READ Margin WRITE SetMargin)

 public:
  using TscGPShapeFillStyle = TscGPStateOptions::TscGPShapeFillStyle;

  explicit TscGPHeaderOptions(QObject* parent = nullptr) : TscOptions(parent) {}

  orvelle::Color GetColor() const { return color_; }
  void SetColor(orvelle::Color value) { Store(color_, value); }
  int ColorAlpha() const { return color_alpha_; }
  void SetColorAlpha(int value) {
    if (value >= 0 && value <= 255) Store(color_alpha_, value);
  }
  TscGPShapeFillStyle FillStyle() const { return fill_style_; }
  void SetFillStyle(TscGPShapeFillStyle value) { Store(fill_style_, value); }
  int GradientAngle() const { return gradient_angle_; }
  void SetGradientAngle(int value) {
    if (value >= -360 && value <= 360) Store(gradient_angle_, value);
  }
  int Margin() const { return margin_; }
  void SetMargin(int value) {
    if (value >= 0) Store(margin_, value);
  }
  void Scale(int m, int d) { margin_ = MulDiv(margin_, m, d); }

 private:
  orvelle::Color color_ = clBtnFace;
  int color_alpha_ = 220;
  TscGPShapeFillStyle fill_style_ = TscGPStateOptions::scgpsfColor;
  int gradient_angle_ = 90;
  int margin_ = 5;
};

// The frame and fill of a scrolling control.
class TscGPScrollingControlOptions : public TscOptions {
  Q_OBJECT
  Q_PROPERTY(orvelle::Color FillColor READ FillColor WRITE SetFillColor)
  Q_PROPERTY(orvelle::Color FillColor2 READ FillColor2 WRITE SetFillColor2)
  Q_PROPERTY(int FillColorAlpha READ FillColorAlpha WRITE SetFillColorAlpha)
  Q_PROPERTY(int FillColor2Alpha READ FillColor2Alpha WRITE SetFillColor2Alpha)
  Q_PROPERTY(orvelle::TscGPStateOptions::TscGPShapeFillStyle FillStyle READ FillStyle WRITE SetFillStyle)
  Q_PROPERTY(int FillGradientAngle READ FillGradientAngle WRITE SetFillGradientAngle)
  Q_PROPERTY(orvelle::Color FrameColor READ FrameColor WRITE SetFrameColor)
  Q_PROPERTY(int FrameColorAlpha READ FrameColorAlpha WRITE SetFrameColorAlpha)
  Q_PROPERTY(int FrameWidth READ FrameWidth WRITE SetFrameWidth)
  Q_PROPERTY(bool FrameScaleWidth READ FrameScaleWidth WRITE SetFrameScaleWidth)

 public:
  using TscGPShapeFillStyle = TscGPStateOptions::TscGPShapeFillStyle;

  explicit TscGPScrollingControlOptions(QObject* parent = nullptr) : TscOptions(parent) {}

  orvelle::Color FillColor() const { return fill_color_; }
  void SetFillColor(orvelle::Color value) { Store(fill_color_, value); }
  orvelle::Color FillColor2() const { return fill_color2_; }
  void SetFillColor2(orvelle::Color value) { Store(fill_color2_, value); }
  int FillColorAlpha() const { return fill_color_alpha_; }
  void SetFillColorAlpha(int value) { StoreAlpha(fill_color_alpha_, value); }
  int FillColor2Alpha() const { return fill_color2_alpha_; }
  void SetFillColor2Alpha(int value) { StoreAlpha(fill_color2_alpha_, value); }
  TscGPShapeFillStyle FillStyle() const { return fill_style_; }
  void SetFillStyle(TscGPShapeFillStyle value) { Store(fill_style_, value); }
  int FillGradientAngle() const { return fill_gradient_angle_; }
  void SetFillGradientAngle(int value) {
    if (value >= -360 && value <= 360) Store(fill_gradient_angle_, value);
  }
  orvelle::Color FrameColor() const { return frame_color_; }
  void SetFrameColor(orvelle::Color value) { Store(frame_color_, value); }
  int FrameColorAlpha() const { return frame_color_alpha_; }
  void SetFrameColorAlpha(int value) { StoreAlpha(frame_color_alpha_, value); }
  int FrameWidth() const { return frame_width_; }
  void SetFrameWidth(int value) {
    if (value >= 0) Store(frame_width_, value);
  }
  bool FrameScaleWidth() const { return frame_scale_width_; }
  void SetFrameScaleWidth(bool value) { Store(frame_scale_width_, value); }
  void Scale(int m, int d) {
    if (frame_scale_width_) frame_width_ = MulDiv(frame_width_, m, d);
  }

 private:
  void StoreAlpha(int& field, int value) {
    if (value >= 0 && value <= 255) Store(field, value);
  }

  orvelle::Color fill_color_ = clWindow;
  orvelle::Color fill_color2_ = clWindow;
  int fill_color_alpha_ = 255;
  int fill_color2_alpha_ = 255;
  TscGPShapeFillStyle fill_style_ = TscGPStateOptions::scgpsfColor;
  int fill_gradient_angle_ = 90;
  orvelle::Color frame_color_ = clBtnShadow;
  int frame_color_alpha_ = 255;
  int frame_width_ = 2;
  bool frame_scale_width_ = false;
};

// The kit's scrolling base: an opaque control with a frame, a fill and a custom-drawn vertical
// scroll bar, inside which a descendant draws its content (DrawContent) clipped to the area the
// frame and the bar leave. The bar takes the pointer when it is pressed on it or is being dragged.
class TscGPScrollingControl : public TscCustomControl {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscGPScrollingControlOptions* Options READ Options)
  Q_PROPERTY(orvelle::TscGPControlScrollBarOptions* ScrollBarOptions READ ScrollBarOptions)

 public:
  explicit TscGPScrollingControl(QWidget* parent = nullptr);

  TscGPScrollingControlOptions* Options() const { return options_; }
  TscGPControlScrollBarOptions* ScrollBarOptions() const { return scroll_bar_options_; }
  TscGPControlScrollBar* VertScrollBar() const { return vert_scroll_bar_; }

  // The rectangle inside the frame (the client rectangle shrunk by the frame width).
  QRect FrameInnerRect() const;

 protected:
  // Sets the bar's range for the current content; the bar's bounds follow.
  virtual void UpdateScrollBar();
  // Draws the content inside the frame, clipped (empty here).
  virtual void DrawContent(QPainter& painter);
  // The scroll bar moved; the content follows.
  virtual void ScrollBarPositionChanged() {}

  void DrawControl(QPainter& painter, TscsCtrlState state) override;
  void ScalePixelOptions(int m, int d) override;

  // The scroll bar's share of the pointer; the bar takes a press on it and, while it is dragged
  // or paging, every move and the release. Each returns whether the bar took the event.
  bool ScrollBarMousePress(const QPoint& p);
  bool ScrollBarMouseMove(const QPoint& p);
  bool ScrollBarMouseRelease(const QPoint& p);

  void leaveEvent(QEvent* event) override;
  // A hidden control never sees the release that would end its scroll bar's drag or paging.
  void hideEvent(QHideEvent* event) override;

 private:
  void DrawFrameAndFill(QPainter& painter);
  void PlaceScrollBar();

  TscGPScrollingControlOptions* options_;
  TscGPControlScrollBarOptions* scroll_bar_options_;
  TscGPControlScrollBar* vert_scroll_bar_;
};

// The kit's item list: rows of TscGPListBoxItem stacked from the top (HeaderHeight for headers,
// ItemHeight for the others), scrolled by ScrollOffset, one selected row (ItemIndex).
//
// Selection: ItemIndex refuses a header or a disabled item; any other value is stored (one at or
// beyond the count selects no row), the row is scrolled into view, and a selected row raises
// OnItemClick (not while the form loads). Hover and press selection (SelectUnderPointer) and
// InitItemIndex select without events.
class TscGPCustomListBox : public TscGPScrollingControl {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscGPListBoxItems* Items READ Items)
  Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
  Q_PROPERTY(int ItemHeight READ ItemHeight WRITE SetItemHeight)
  Q_PROPERTY(int HeaderHeight READ HeaderHeight WRITE SetHeaderHeight)
  Q_PROPERTY(int ItemMargin READ ItemMargin WRITE SetItemMargin)
  Q_PROPERTY(int IndentMargin READ IndentMargin WRITE SetIndentMargin)
  Q_PROPERTY(int ItemSpacing READ ItemSpacing WRITE SetItemSpacing)
  Q_PROPERTY(bool ShowLines READ ShowLines WRITE SetShowLines)
  Q_PROPERTY(orvelle::Color LineColor READ LineColor WRITE SetLineColor)
  Q_PROPERTY(int LineColorAlpha READ LineColorAlpha WRITE SetLineColorAlpha)
  Q_PROPERTY(bool ShowItemDetails READ ShowItemDetails WRITE SetShowItemDetails)
  Q_PROPERTY(orvelle::Font* DetailFont READ DetailFont)
  Q_PROPERTY(orvelle::Font* HeaderFont READ HeaderFont)
  Q_PROPERTY(orvelle::ImageList* Images READ Images WRITE SetImages)
  Q_PROPERTY(bool MouseMoveChangeIndex READ MouseMoveChangeIndex WRITE SetMouseMoveChangeIndex)
  Q_PROPERTY(bool CheckedListMode READ CheckedListMode WRITE SetCheckedListMode)
  Q_PROPERTY(orvelle::TscGPSelectionOptions* SelectionOptions READ SelectionOptions)
  Q_PROPERTY(orvelle::TscGPHeaderOptions* HeaderOptions READ HeaderOptions)

 public:
  static constexpr int kAutoScrollInterval = 50;
  // Margins below this are ignored by their setters.
  static constexpr int kMinMargin = 5;
  // The side of a check box in checked-list mode, at 96 pixels per inch.
  static constexpr int kCheckBoxSize = 13;

  explicit TscGPCustomListBox(QWidget* parent = nullptr);

  TscGPListBoxItems* Items() const { return items_; }
  int ItemIndex() const { return item_index_; }
  void SetItemIndex(int value);
  // Selects as SetItemIndex does, without OnItemClick and without the selection hook.
  void InitItemIndex(int value);
  // Selects the row without any event (hover and press selection): ItemIndex, the active row,
  // repaint, scroll into view.
  void SelectUnderPointer(int index);

  int ItemHeight() const { return item_height_; }
  void SetItemHeight(int value);
  int HeaderHeight() const { return header_height_; }
  void SetHeaderHeight(int value);
  int ItemMargin() const { return item_margin_; }
  void SetItemMargin(int value);
  int IndentMargin() const { return indent_margin_; }
  void SetIndentMargin(int value);
  int ItemSpacing() const { return item_spacing_; }
  void SetItemSpacing(int value);
  bool ShowLines() const { return show_lines_; }
  void SetShowLines(bool value);
  orvelle::Color LineColor() const { return line_color_; }
  void SetLineColor(orvelle::Color value);
  int LineColorAlpha() const { return line_color_alpha_; }
  void SetLineColorAlpha(int value);
  bool ShowItemDetails() const { return show_item_details_; }
  void SetShowItemDetails(bool value);
  orvelle::Font* DetailFont() const { return detail_font_; }
  orvelle::Font* HeaderFont() const { return header_font_; }
  ImageList* Images() const { return images_; }
  void SetImages(ImageList* value);
  bool MouseMoveChangeIndex() const { return mouse_move_change_index_; }
  void SetMouseMoveChangeIndex(bool value) { mouse_move_change_index_ = value; }
  bool CheckedListMode() const { return checked_list_mode_; }
  void SetCheckedListMode(bool value);
  bool PopupMode() const { return popup_mode_; }
  TscGPSelectionOptions* SelectionOptions() const { return selection_options_; }
  TscGPHeaderOptions* HeaderOptions() const { return header_options_; }

  int ScrollOffset() const { return scroll_offset_; }
  // Sets ScrollOffset (limited to 0...content height - row area height) and repaints.
  void Scroll(int offset);
  // Scrolls the row of the item into view (nothing when it is fully inside already).
  void ScrollToItem(int index);
  // The row area: inside the frame, less the scroll bar beside the rows.
  QRect ItemsRect() const;
  // Lays all rows out for the current size, scroll bar and offset.
  void LayoutItems();
  // The sum of all row heights.
  int ContentHeight() const;
  // The number of whole item rows the row area shows (at least 1).
  int VisibleRows() const;

  // The enabled row at the point (inside the row area, among rows in view), or -1; -1 also on a
  // scroll bar laid over the rows.
  int ItemAtPos(const QPoint& p);
  int MouseActive() const { return mouse_active_; }
  void SetMouseActive(int value) { mouse_active_ = value; }

  // Navigation moves: the index each would select, or -1 when it would do nothing.
  int PreviousIndex() const;
  int NextSelectableIndex() const;
  int PageUpIndex() const;
  int PageDownIndex() const;

  // The first selectable item after the selected one, wrapping to the start, whose caption
  // starts with the text (ASCII letters compared case-insensitively); -1 if none.
  int NextIndex(const QString& text) const;
  // The first non-header item whose caption equals the text (or starts with it); -1 if none.
  int IndexOfCaption(const QString& text, bool prefix = false) const;
  // The same on Detail, headers included.
  int IndexOfDetail(const QString& text, bool prefix = false) const;
  void Sort();
  // Stops and resumes redrawing while items change; the end repaints.
  void BeginUpdateItems();
  void EndUpdateItems();

  // While a press goes on outside the rows: selects the previous (up) or next selectable item
  // every kAutoScrollInterval ms, without events, until stopped.
  enum AutoScrollDirection { asNone, asUp, asDown };
  void StartAutoScroll(AutoScrollDirection direction);
  void StopAutoScroll();
  AutoScrollDirection AutoScrolling() const { return auto_scroll_; }

  // Checked-list mode: toggles the item's check and raises OnItemCheckClick.
  void ToggleItemCheck(int index);

  // Scrolls by whole items, `steps` ItemHeights (positive down), while the scroll bar shows.
  void WheelScroll(int steps);

 signals:
  void OnItemClick(QObject* sender);
  void OnItemCheckClick(QObject* sender);

 protected:
  void SetPopupMode(bool value) { popup_mode_ = value; }
  // Runs after a selection made through ItemIndex; empty here.
  virtual void SelectionHook() {}
  void UpdateScrollBar() override;
  void DrawContent(QPainter& painter) override;
  void ScrollBarPositionChanged() override;
  virtual void DrawItem(QPainter& painter, int index, const QRect& rect);
  void ScalePixelOptions(int m, int d) override;
  QAccessible::Role AccessibleRole() const override { return QAccessible::List; }

  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  // Stores the index and the active row, repaints and scrolls into view.
  void ApplyIndex(int value);
  // Repaints after an item change, unless updates are suspended.
  void ItemsChanged();
  int RowHeight(const TscGPListBoxItem& item) const;
  // The first selectable item from `from` stepping by `step` (+1 or -1), or -1.
  int FindSelectable(int from, int step) const;
  void AutoScrollTick();
  void DrawHeader(QPainter& painter, const TscGPListBoxItem& item, const QRect& rect);
  void DrawSelection(QPainter& painter, const QRect& rect);
  QColor CaptionColor(const TscGPListBoxItem& item, bool selected) const;
  void DrawCheckBox(QPainter& painter, const TscGPListBoxItem& item, const QColor& color);

  TscGPListBoxItems* items_;
  int item_index_ = -1;
  int item_height_ = 30;
  int header_height_ = 20;
  int item_margin_ = 5;
  int indent_margin_ = 10;
  int item_spacing_ = 5;
  bool show_lines_ = false;
  orvelle::Color line_color_ = clWindowText;
  int line_color_alpha_ = 20;
  bool show_item_details_ = false;
  orvelle::Font* detail_font_;
  orvelle::Font* header_font_;
  QPointer<ImageList> images_;
  bool mouse_move_change_index_ = false;
  bool checked_list_mode_ = false;
  bool popup_mode_ = false;
  TscGPSelectionOptions* selection_options_;
  TscGPHeaderOptions* header_options_;
  int scroll_offset_ = 0;
  int mouse_active_ = -1;
  bool mouse_down_ = false;
  int update_count_ = 0;
  AutoScrollDirection auto_scroll_ = asNone;
  QTimer* auto_scroll_timer_;
  WheelSteps wheel_;
};

// The item list that a drop-down opens: a hidden top-level window of its own that shows without
// activation, stays above the program's windows, never takes the keyboard focus and is never
// activated by a press, with a drop shadow (TscPopupShadow). The selection follows the pointer.
class TscGPPopupListBox : public TscGPCustomListBox {
  Q_OBJECT

 public:
  explicit TscGPPopupListBox(QWidget* owner = nullptr);

  TscPopupShadow* Shadow() const { return shadow_; }

  // Scrolls to the top, then the selected row into view, and shows the list at the screen point
  // without resizing or activating it.
  void Show(const QPoint& origin);
  void Hide();

 private:
  TscPopupShadow* shadow_;
};

}  // namespace orvelle
