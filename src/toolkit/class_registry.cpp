#include "toolkit/class_registry.h"

#include "toolkit/image_list.h"
#include "toolkit/memo.h"
#include "toolkit/panel.h"
#include "toolkit/picture_holder.h"
#include "toolkit/push_button.h"
#include "toolkit/timer.h"

#include <QHash>

#include <algorithm>
#include <vector>

namespace orvelle {
namespace {

QHash<QString, ClassRegistry::Factory>& Factories() {
  static QHash<QString, ClassRegistry::Factory> factories;
  return factories;
}

std::vector<ClassRegistry::Registrar>& Registrars() {
  static std::vector<ClassRegistry::Registrar> registrars;
  return registrars;
}

}  // namespace

void ClassRegistry::AddRegistrar(Registrar registrar) {
  auto& registrars = Registrars();
  if (std::find(registrars.begin(), registrars.end(), registrar) == registrars.end()) registrars.push_back(registrar);
}

void ClassRegistry::RegisterAll() {
  RegisterToolkitClasses();
  for (Registrar registrar : Registrars()) registrar();
}

void ClassRegistry::Register(const QString& className, Factory factory) {
  Factories().insert(className, std::move(factory));
}

bool ClassRegistry::Contains(const QString& className) { return Factories().contains(className); }

QObject* ClassRegistry::Create(const QString& className) {
  const auto it = Factories().constFind(className);
  return it == Factories().constEnd() ? nullptr : (*it)();
}

QString ClassRegistry::ClassName(const QMetaObject& meta) {
  const QString full = QString::fromLatin1(meta.className());
  const qsizetype colon = full.lastIndexOf(u':');
  return colon < 0 ? full : full.mid(colon + 1);
}

void RegisterToolkitClasses() {
  ClassRegistry::Register<Panel>();
  ClassRegistry::Register<PictureHolder>();
  ClassRegistry::Register<PushButton>();
  ClassRegistry::Register<Timer>();
  ClassRegistry::Register<ImageList>();
  ClassRegistry::Register<Memo>();
}

}  // namespace orvelle
