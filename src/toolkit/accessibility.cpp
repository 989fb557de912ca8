#include "toolkit/accessibility.h"

#include "toolkit/announcer.h"
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/panel.h"
#include "toolkit/push_button.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace orvelle {
namespace {

class FormAccessible : public QAccessibleWidget {
 public:
  explicit FormAccessible(Form* form) : QAccessibleWidget(form, QAccessible::Window) {}
  QAccessible::Role role() const override {
    return Application::MainForm() == widget() ? QAccessible::Window : QAccessible::Dialog;
  }
};

class PushButtonAccessible : public QAccessibleWidget {
 public:
  explicit PushButtonAccessible(PushButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) {
      const QString name = Button()->AccessibleName();
      return name.isEmpty() ? Button()->Caption() : name;
    }
    return QAccessibleWidget::text(t);
  }
  QStringList actionNames() const override {
    QStringList names = QAccessibleWidget::actionNames();
    if (Button()->isEnabled()) names.prepend(pressAction());
    return names;
  }
  void doAction(const QString& actionName) override {
    if (actionName != pressAction()) {
      QAccessibleWidget::doAction(actionName);
      return;
    }
    if (Button()->isEnabled()) Button()->Click();
  }

 private:
  PushButton* Button() const { return static_cast<PushButton*>(widget()); }
};

QAccessibleInterface* ToolkitAccessibleFactory(const QString& className, QObject* object) {
  if (className == QLatin1String(Form::staticMetaObject.className())) {
    if (auto* form = qobject_cast<Form*>(object)) return new FormAccessible(form);
  } else if (className == QLatin1String(PushButton::staticMetaObject.className())) {
    if (auto* button = qobject_cast<PushButton*>(object)) return new PushButtonAccessible(button);
  } else if (className == QLatin1String(Announcer::staticMetaObject.className())) {
    if (auto* announcer = qobject_cast<Announcer*>(object)) return new QAccessibleWidget(announcer, QAccessible::Notification);
  } else if (className == QLatin1String(Panel::staticMetaObject.className())) {
    if (auto* panel = qobject_cast<Panel*>(object)) return new ContainerAccessible(panel, QAccessible::Pane);
  }
  return nullptr;
}

}  // namespace

QList<QWidget*> ShownChildren(const QWidget* container) {
  QList<QWidget*> shown;
  for (QObject* object : container->children()) {
    auto* child = qobject_cast<QWidget*>(object);
    if (child && !child->isWindow() && container->rect().intersects(child->geometry())) shown.append(child);
  }
  return shown;
}

int ContainerAccessible::childCount() const { return int(ShownChildren(widget()).size()); }

QAccessibleInterface* ContainerAccessible::child(int index) const {
  const QList<QWidget*> shown = ShownChildren(widget());
  return index >= 0 && index < shown.size() ? QAccessible::queryAccessibleInterface(shown[index]) : nullptr;
}

int ContainerAccessible::indexOfChild(const QAccessibleInterface* child) const {
  return child ? int(ShownChildren(widget()).indexOf(child->object())) : -1;
}

void InstallToolkitAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&ToolkitAccessibleFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace orvelle
