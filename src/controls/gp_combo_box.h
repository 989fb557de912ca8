#pragma once

#include "controls/active_control.h"
#include "controls/gp_list_box.h"
#include "controls/gp_state_options.h"

#include <QPointer>
#include <QString>

class QTimer;

namespace orvelle {

// The drop-down's option set: the graphic button's per-state colours and sizes, whether the frame
// width scales with the screen, and the face's shape.
class TscGPComboOptions : public TscGPStateOptions {
  Q_OBJECT
  Q_PROPERTY(bool ScaleFrameWidth READ ScaleFrameWidth WRITE SetScaleFrameWidth)
  Q_PROPERTY(orvelle::TscGPComboOptions::TscGPComboShapeStyle ShapeStyle READ ShapeStyle WRITE SetShapeStyle)

 public:
  enum TscGPComboShapeStyle { scgpcssRect, scgpcssRoundedRect, scgpcssRoundedLeftRight, scgpcssLine, scgpcssNone };
  Q_ENUM(TscGPComboShapeStyle)

  explicit TscGPComboOptions(QObject* parent = nullptr) : TscGPStateOptions(parent) {}

  bool ScaleFrameWidth() const { return scale_frame_width_; }
  void SetScaleFrameWidth(bool value) { Store(scale_frame_width_, value); }
  TscGPComboShapeStyle ShapeStyle() const { return shape_style_; }
  void SetShapeStyle(TscGPComboShapeStyle value) { Store(shape_style_, value); }

 private:
  bool scale_frame_width_ = false;
  TscGPComboShapeStyle shape_style_ = scgpcssRect;
};

// The kit's drop-down list: a face that shows the selected item's caption and a chevron, and a
// popup item list (TscGPPopupListBox) that opens below it (above when the screen's work area ends
// first). The combo box holds no item data of its own: Items, ItemIndex and Images are the list's,
// and the ListBox... properties are the list's fields.
//
// While the list is open the combo box keeps the keyboard focus (the list is never activated) and
// routes the pointer:
// - moving over the list selects the row under the pointer, without events;
// - a left press on a row selects it; the release then closes the list, accepting when it is
//   over the list and restoring the earlier item elsewhere (presses of other buttons, double
//   clicks and releases never reach the list itself; the scroll bar keeps its own presses);
// - the press that opened the list on the face leaves it open when released at once; once the
//   pointer has been within the list's height, the release closes it as above;
// - while the button is held above or below the list, the selection moves one row every 50 ms;
// - a press on the face, anywhere else in the program, the program losing activation, the
//   window moving and the focus leaving all close the list restoring.
// Closing with acceptance raises OnCloseUp, OnClick and OnChange, also for the item that was
// selected before. Setting the index (from code, the keys and the wheel over the closed face)
// raises OnClick and OnChange every time, also when the index stays, except while loading.
class TscGPComboBox : public TscCustomActiveControl {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscGPListBoxItems* Items READ Items)
  Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
  Q_PROPERTY(int DropDownCount READ DropDownCount WRITE SetDropDownCount)
  Q_PROPERTY(orvelle::TscGPComboBox::TscDropDownPosition DropDownPosition READ DropDownPosition WRITE SetDropDownPosition)
  Q_PROPERTY(int ListBoxWidth READ ListBoxWidth WRITE SetListBoxWidth)
  Q_PROPERTY(int ListBoxHeight READ ListBoxHeight WRITE SetListBoxHeight)
  Q_PROPERTY(int ListBoxItemHeight READ ListBoxItemHeight WRITE SetListBoxItemHeight)
  Q_PROPERTY(int ListBoxHeaderHeight READ ListBoxHeaderHeight WRITE SetListBoxHeaderHeight)
  Q_PROPERTY(int ListBoxItemSpacing READ ListBoxItemSpacing WRITE SetListBoxItemSpacing)
  Q_PROPERTY(int ListBoxItemMargin READ ListBoxItemMargin WRITE SetListBoxItemMargin)
  Q_PROPERTY(int ListBoxIndentMargin READ ListBoxIndentMargin WRITE SetListBoxIndentMargin)
  Q_PROPERTY(bool ShowItemImage READ ShowItemImage WRITE SetShowItemImage)
  Q_PROPERTY(bool ShowItemText READ ShowItemText WRITE SetShowItemText)
  Q_PROPERTY(bool ShowItemDetail READ ShowItemDetail WRITE SetShowItemDetail)
  Q_PROPERTY(bool ListBoxShowItemDetails READ ListBoxShowItemDetails WRITE SetListBoxShowItemDetails)
  Q_PROPERTY(bool ListBoxShowLines READ ListBoxShowLines WRITE SetListBoxShowLines)
  Q_PROPERTY(orvelle::Color ListBoxLineColor READ ListBoxLineColor WRITE SetListBoxLineColor)
  Q_PROPERTY(orvelle::Font* DetailFont READ DetailFont)
  Q_PROPERTY(orvelle::Font* ListBoxHeaderFont READ ListBoxHeaderFont)
  Q_PROPERTY(orvelle::TscGPHeaderOptions* ListBoxHeaderOptions READ ListBoxHeaderOptions)
  Q_PROPERTY(orvelle::TscGPScrollingControlOptions* ListBoxOptions READ ListBoxOptions)
  Q_PROPERTY(orvelle::TscGPControlScrollBarOptions* ListBoxScrollBarOptions READ ListBoxScrollBarOptions)
  Q_PROPERTY(orvelle::TscGPComboOptions* Options READ Options)
  Q_PROPERTY(orvelle::ImageList* Images READ Images WRITE SetImages)
  Q_PROPERTY(int ContentMargin READ ContentMargin WRITE SetContentMargin)
  Q_PROPERTY(bool AutoComplete READ AutoComplete WRITE SetAutoComplete)
  Q_PROPERTY(bool CheckedListMode READ CheckedListMode WRITE SetCheckedListMode)
  Q_PROPERTY(bool CheckedListWrap READ CheckedListWrap WRITE SetCheckedListWrap)

 public:
  enum TscDropDownPosition { scdpRight, scdpLeft };
  Q_ENUM(TscDropDownPosition)

  static constexpr int kTypeAheadTimeout = 1000;
  // The chevron is drawn in the text colour at this alpha.
  static constexpr int kChevronAlpha = 200;

  Q_INVOKABLE explicit TscGPComboBox(QWidget* parent = nullptr);
  ~TscGPComboBox() override;

  TscGPPopupListBox* ListBox() const { return list_; }
  TscGPListBoxItems* Items() const { return list_->Items(); }
  // Copies a collection into the list's.
  void SetItems(const TscGPListBoxItems& items) { list_->Items()->Assign(items); }
  int ItemIndex() const { return list_->ItemIndex(); }
  // Setting the index: the list takes it (refusing a header or a disabled item), the face shows
  // it, and OnClick and OnChange follow, whatever the list did, unless the form is loading.
  void SetItemIndex(int value);
  // Sets the list's index and the restore index without events and without repainting the face.
  void InitItemIndex(int value);

  int DropDownCount() const { return drop_down_count_; }
  void SetDropDownCount(int value) {
    if (value >= 0) drop_down_count_ = value;
  }
  TscDropDownPosition DropDownPosition() const { return drop_down_position_; }
  void SetDropDownPosition(TscDropDownPosition value) { drop_down_position_ = value; }
  int ListBoxWidth() const { return list_box_width_; }
  void SetListBoxWidth(int value) {
    if (value >= 0) list_box_width_ = value;
  }
  int ListBoxHeight() const { return list_box_height_; }
  void SetListBoxHeight(int value) {
    if (value >= 0) list_box_height_ = value;
  }
  int ListBoxItemHeight() const { return list_->ItemHeight(); }
  void SetListBoxItemHeight(int value) { list_->SetItemHeight(value); }
  int ListBoxHeaderHeight() const { return list_->HeaderHeight(); }
  void SetListBoxHeaderHeight(int value) { list_->SetHeaderHeight(value); }
  int ListBoxItemSpacing() const { return list_->ItemSpacing(); }
  void SetListBoxItemSpacing(int value);
  int ListBoxItemMargin() const { return list_->ItemMargin(); }
  void SetListBoxItemMargin(int value) { list_->SetItemMargin(value); }
  int ListBoxIndentMargin() const { return list_->IndentMargin(); }
  void SetListBoxIndentMargin(int value) { list_->SetIndentMargin(value); }
  bool ShowItemImage() const { return show_item_image_; }
  void SetShowItemImage(bool value);
  // Kept for layouts; the face draws the caption whatever it says.
  bool ShowItemText() const { return show_item_text_; }
  void SetShowItemText(bool value) { show_item_text_ = value; }
  bool ShowItemDetail() const { return show_item_detail_; }
  void SetShowItemDetail(bool value);
  bool ListBoxShowItemDetails() const { return list_->ShowItemDetails(); }
  void SetListBoxShowItemDetails(bool value) { list_->SetShowItemDetails(value); }
  bool ListBoxShowLines() const { return list_->ShowLines(); }
  void SetListBoxShowLines(bool value) { list_->SetShowLines(value); }
  orvelle::Color ListBoxLineColor() const { return list_->LineColor(); }
  void SetListBoxLineColor(orvelle::Color value) { list_->SetLineColor(value); }
  orvelle::Font* DetailFont() const { return list_->DetailFont(); }
  orvelle::Font* ListBoxHeaderFont() const { return list_->HeaderFont(); }
  TscGPHeaderOptions* ListBoxHeaderOptions() const { return list_->HeaderOptions(); }
  TscGPScrollingControlOptions* ListBoxOptions() const { return list_->Options(); }
  TscGPControlScrollBarOptions* ListBoxScrollBarOptions() const { return list_->ScrollBarOptions(); }
  TscGPComboOptions* Options() const { return options_; }
  ImageList* Images() const { return list_->Images(); }
  void SetImages(ImageList* value);
  int ContentMargin() const { return content_margin_; }
  void SetContentMargin(int value);
  bool AutoComplete() const { return auto_complete_; }
  void SetAutoComplete(bool value) { auto_complete_ = value; }
  bool CheckedListMode() const { return list_->CheckedListMode(); }
  void SetCheckedListMode(bool value);
  bool CheckedListWrap() const { return checked_list_wrap_; }
  void SetCheckedListWrap(bool value);

  // Opens the list: nothing without items; otherwise OnDropDown, the list sized and placed below
  // the face (above when the work area ends first) and shown without activation.
  virtual void DropDown();
  // Closes the list: with acceptance (a valid item selected) the face shows it and OnCloseUp,
  // OnClick and OnChange follow; otherwise the item selected before opening comes back, silently.
  void CloseUp(bool accept);
  bool IsPopupVisible() const { return drop_down_; }
  // Also names the list for assistive technology.
  void SetAccessibleName(const QString& name) override;
  // The list is open and the pointer is not over the face.
  bool CanCancelDropDown() const;

  int NextIndex(const QString& text) const { return list_->NextIndex(text); }
  int IndexOfCaption(const QString& text, bool prefix = false) const { return list_->IndexOfCaption(text, prefix); }
  int IndexOfDetail(const QString& text, bool prefix = false) const { return list_->IndexOfDetail(text, prefix); }
  void Sort() { list_->Sort(); }
  void BeginUpdateItems() { list_->BeginUpdateItems(); }
  void EndUpdateItems() { list_->EndUpdateItems(); }

  // The open list's size by the opening rule: ListBoxWidth or the face's width; ListBoxHeight, or
  // DropDownCount rows (at most the item count) inside the list's frame.
  QSize ListSize() const;
  // Where the list opens, in screen coordinates, for its size: below the face, or above it when
  // the bottom of the work area of the face's screen comes first.
  QPoint ListOrigin(const QSize& listSize) const;
  // The chevron's box and the area the item is drawn in, for the current size and options.
  QRect ChevronRect() const;
  QRect ContentRect() const;

  // Scaled pixel options: the frame width (ScaleFrameWidth), the corner radius, the arrow, the
  // content margin and the list's width and height; the list scales its own sizes.
  void ScalePixelOptions(int m, int d) override;

 signals:
  void OnChange(QObject* sender);
  void OnCloseUp(QObject* sender);
  void OnDropDown(QObject* sender);
  void OnItemCheckClick(QObject* sender);
  void OnKeyDown(QObject* sender, int key, Qt::KeyboardModifiers shift);
  void OnKeyPress(QObject* sender, QString key);
  void OnKeyUp(QObject* sender, int key, Qt::KeyboardModifiers shift);
  void OnEnter(QObject* sender);
  void OnExit(QObject* sender);

 protected:
  // Pressed while the list is open; focused while the combo box has the focus; else the state of
  // the pointer and Enabled.
  TscsCtrlState GetCtrlState() const override;
  void DrawControl(QPainter& painter, TscsCtrlState state) override;
  // Draws the item (the one selected when the list opened, while it is open) into the area.
  virtual void DrawComboItem(QPainter& painter, const QRect& area, TscsCtrlState state);
  // Whether there is an item to draw: a valid index, or checked-list mode.
  virtual bool HasContent() const;
  // Raises OnChange.
  virtual void Change() { emit OnChange(this); }

  void DoMouseEnter() override;
  void DoMouseLeave() override;
  QAccessible::Role AccessibleRole() const override { return QAccessible::ComboBox; }
  QString AccessibleValueText() const override;

  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  friend class PressObserver;

  // The index the face shows: the restore index while open, else the list's.
  int ShownIndex() const { return drop_down_ ? old_item_index_ : ItemIndex(); }
  // Sizes the list by the opening rule (a page of the keys is the rows the open list shows).
  void SizeList();
  void LeftPressed(QMouseEvent* event);
  // The pointer's share of the open list, in screen coordinates.
  bool ListMousePress(QMouseEvent* event);
  void PointerMoved(const QPoint& global);
  void LeftReleased(const QPoint& global);
  // The key and wheel moves: each ends in Setting the index.
  void MoveBy(int index);
  bool HandleNavigationKey(int key);
  void TypeAhead(const QString& text);
  void WheelMove(int steps);
  // The system-wide press observation while open (see PressObserver).
  void StartObserving();
  void StopObserving();
  void EndPointerTracking();
  void DrawFace(QPainter& painter, TscsCtrlState state);
  void DrawChevron(QPainter& painter, const QColor& textColor);
  QString CheckedCaptions() const;
  // Tells assistive technology that the shown item changed.
  void AnnounceValue();
  // While the keyboard works the drop-down: focuses the selected row, so that it is spoken.
  void AnnounceSelectedRow();
  // After the list closed: the drop-down itself has the keyboard's focus again.
  void AnnounceFocusBack();

  TscGPPopupListBox* list_;
  TscGPComboOptions* options_;
  int drop_down_count_ = 7;
  TscDropDownPosition drop_down_position_ = scdpRight;
  int list_box_width_ = 0;
  int list_box_height_ = 0;
  bool show_item_image_ = true;
  bool show_item_text_ = true;
  bool show_item_detail_ = false;
  int content_margin_ = 0;
  bool auto_complete_ = false;
  bool checked_list_wrap_ = true;

  bool drop_down_ = false;
  int old_item_index_ = -1;
  bool lb_down_ = false;     // the left button went down in the list
  bool face_down_ = false;   // the left button went down on the face (and opened the list)
  bool was_in_lb_ = false;   // since that press, the pointer has been within the list's height
  QString search_text_;
  QTimer* search_timer_;
  WheelSteps wheel_;
  QObject* press_observer_ = nullptr;
};

}  // namespace orvelle
