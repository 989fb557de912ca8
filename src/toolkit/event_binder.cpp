#include "toolkit/event_binder.h"

#include "toolkit/application.h"

#include <vector>

namespace orvelle {

bool EventBinder::Compatible(const QMetaMethod& signal, const QMetaMethod& handler) {
  if (handler.parameterCount() > signal.parameterCount()) return false;
  for (int i = 0; i < handler.parameterCount(); ++i) {
    if (handler.parameterMetaType(i) != signal.parameterMetaType(i)) return false;
  }
  return handler.returnMetaType().id() == QMetaType::Void;
}

EventBinder::EventBinder(QObject* sender, QObject* receiver, const QMetaMethod& handler)
    : QObject(sender),
      receiver_(receiver),
      handler_index_(handler.methodIndex()),
      handler_arguments_(handler.parameterCount()) {}

EventBinder* EventBinder::Bind(QObject* sender, const QMetaMethod& signal, QObject* receiver,
                               const QMetaMethod& handler) {
  auto* binder = new EventBinder(sender, receiver, handler);
  // The binder's one method lies just past QObject's own; qt_metacall below answers it.
  QMetaObject::connect(sender, signal.methodIndex(), binder, QObject::staticMetaObject.methodCount(),
                       Qt::DirectConnection);
  return binder;
}

int EventBinder::qt_metacall(QMetaObject::Call call, int id, void** args) {
  id = QObject::qt_metacall(call, id, args);
  if (id < 0) return id;
  if (call == QMetaObject::InvokeMetaMethod) {
    if (id == 0) Invoke(args);
    return -1;
  }
  return id;
}

void EventBinder::Invoke(void** args) {
  QObject* receiver = receiver_.data();
  if (!receiver) return;
  // args[0] is the return value, args[1..] the signal's arguments; the handler takes the first few.
  std::vector<void*> handler_args(args, args + 1 + handler_arguments_);
  handler_args[0] = nullptr;
  const int index = handler_index_;
  Application::RunGuarded(
      [&] { receiver->qt_metacall(QMetaObject::InvokeMetaMethod, index, handler_args.data()); });
}

}  // namespace orvelle
