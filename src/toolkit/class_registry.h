#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace orvelle {

// The classes a layout may name, each with a factory that makes a parentless instance.
class ClassRegistry {
 public:
  using Factory = std::function<QObject*()>;

  static void Register(const QString& className, Factory factory);
  // Registers T under its C++ class name without the namespace ("orvelle::Panel" as "Panel").
  template <class T>
  static void Register() {
    Register(ClassName(T::staticMetaObject), [] { return new T(); });
  }
  static bool Contains(const QString& className);
  // A new instance, or nullptr for an unknown class.
  static QObject* Create(const QString& className);
  static QString ClassName(const QMetaObject& meta);

  // A function that registers a library's classes. A library whose classes layouts may name adds
  // one (at start-up, before main; see src/controls/registration/kit_registration.cpp); RegisterAll runs the
  // toolkit's registration and every added one, so that no caller registers anything by hand.
  using Registrar = void (*)();
  static void AddRegistrar(Registrar registrar);
  // Registers every class known to the program (the layout loader calls it; idempotent).
  static void RegisterAll();
};

// Collections written by a layout as an array of items, each item an object of properties.
class Collection : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  // Appends a new item and returns it (owned by the collection).
  virtual QObject* AddItem() = 0;
};

// Registers the toolkit's own classes (idempotent).
void RegisterToolkitClasses();

}  // namespace orvelle
