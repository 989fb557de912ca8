#pragma once

#include <QMetaMethod>
#include <QObject>
#include <QPointer>

namespace orvelle {

// Connects one event (a signal) of a component to one handler method of a window. The handler
// is called with the event's arguments, through the application's guard, by the window's own
// generated dispatch code, so no exception ever unwinds through Qt's frames.
class EventBinder : public QObject {
 public:
  // Fails (returns false) when the handler's parameters are not a leading part of the signal's.
  static bool Compatible(const QMetaMethod& signal, const QMetaMethod& handler);
  // The binder becomes a child of the sender.
  static EventBinder* Bind(QObject* sender, const QMetaMethod& signal, QObject* receiver, const QMetaMethod& handler);

  int qt_metacall(QMetaObject::Call call, int id, void** args) override;

 private:
  EventBinder(QObject* sender, QObject* receiver, const QMetaMethod& handler);
  void Invoke(void** args);

  QPointer<QObject> receiver_;
  int handler_index_;
  int handler_arguments_;
};

}  // namespace orvelle
