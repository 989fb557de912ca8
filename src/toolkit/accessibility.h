#pragma once

#include <QAccessibleWidget>
#include <QList>

namespace orvelle {

// What assistive technology sees of the toolkit's own controls (the kit's controls answer for
// themselves):
//  - a window is a frame when it is the program's main window and a dialog otherwise, named by
//    its caption;
//  - a push button is a button named by its AccessibleName (else its caption) that can be
//    pressed, as Enter presses it;
//  - an announcer is a notification named by the text it announces;
//  - a panel lists only the controls that lie at least partly inside it (ShownChildren).
// Installed once, by the first control made; later calls do nothing.
void InstallToolkitAccessibility();

// The child controls assistive technology lists under a container: those that lie at least partly
// inside it, in child order. A control parked outside its parent (the main window's focus sink)
// or inside a closed side panel is nothing a listener can see or use.
QList<QWidget*> ShownChildren(const QWidget* container);

// A widget's accessibility whose children are its ShownChildren.
class ContainerAccessible : public QAccessibleWidget {
 public:
  using QAccessibleWidget::QAccessibleWidget;
  int childCount() const override;
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;
};

}  // namespace orvelle
