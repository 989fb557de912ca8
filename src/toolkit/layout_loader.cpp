#include "toolkit/layout_loader.h"

#include "service/error.h"
#include "toolkit/class_registry.h"
#include "toolkit/color.h"
#include "toolkit/control.h"
#include "toolkit/event_binder.h"
#include "toolkit/form.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QSet>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <cmath>

namespace orvelle {
namespace {

struct PendingReference {
  QObject* object;
  QMetaProperty property;
  QString target;
  QString where;
};

struct PendingEvent {
  QObject* object;
  QString event;
  QString handler;
  QString where;
};

class Builder {
 public:
  Builder(Form* form, QString source) : form_(form), source_(std::move(source)) {}

  void Build(const QJsonObject& root);

 private:
  [[noreturn]] void Fail(const QString& what) const {
    throw Error(QStringLiteral("Layout %1: %2").arg(source_, what));
  }

  void Describe(QObject* object, const QJsonObject& desc, const QString& where);
  void CreateChildren(QObject* parent, const QJsonValue& list, const QString& where);
  void WriteProperties(QObject* object, const QJsonObject& values, const QString& where);
  void WriteProperty(QObject* object, const QMetaProperty& property, const QJsonValue& value, const QString& where);
  void FillCollection(QObject* collection, const QJsonArray& items, const QString& where);
  void Write(QObject* object, const QMetaProperty& property, QVariant value, const QString& where);
  void ResolveReferences();
  void FillFormMembers();
  void ApplyTabOrders();
  void BindEvents();

  Form* form_;
  QString source_;
  QHash<QString, QObject*> components_;
  QList<QObject*> created_;  // the window first, then every component in creation order
  QList<PendingReference> references_;
  QList<PendingEvent> events_;
};

void Builder::Build(const QJsonObject& root) {
  const QString form_class = ClassRegistry::ClassName(*form_->metaObject());
  if (root.contains(u"class") && root.value(u"class").toString() != form_class) {
    Fail(QStringLiteral("the layout is for class '%1', not '%2'").arg(root.value(u"class").toString(), form_class));
  }
  if (root.contains(u"name")) form_->setObjectName(root.value(u"name").toString());
  const QString name = form_->objectName().isEmpty() ? form_class : form_->objectName();
  if (!form_->objectName().isEmpty()) components_.insert(form_->objectName(), form_);
  created_.append(form_);
  form_->BeginLoad();
  Describe(form_, root, name);

  ResolveReferences();
  FillFormMembers();
  ApplyTabOrders();
  for (QObject* object : created_) {
    if (auto* loadable = dynamic_cast<Loadable*>(object)) loadable->EndLoad();
  }
  BindEvents();
}

void Builder::Describe(QObject* object, const QJsonObject& desc, const QString& where) {
  static const QSet<QString> kKeys = {u"name"_qs, u"class"_qs, u"properties"_qs, u"events"_qs, u"components"_qs};
  for (auto it = desc.begin(); it != desc.end(); ++it) {
    if (!kKeys.contains(it.key())) Fail(QStringLiteral("unknown entry '%1' in %2").arg(it.key(), where));
  }
  const QJsonValue properties = desc.value(u"properties");
  if (!properties.isUndefined()) {
    if (!properties.isObject()) Fail(QStringLiteral("the properties of %1 are not an object").arg(where));
    WriteProperties(object, properties.toObject(), where);
  }
  const QJsonValue events = desc.value(u"events");
  if (!events.isUndefined()) {
    if (!events.isObject()) Fail(QStringLiteral("the events of %1 are not an object").arg(where));
    const QJsonObject map = events.toObject();
    for (auto it = map.begin(); it != map.end(); ++it) {
      if (!it.value().isString()) Fail(QStringLiteral("the handler of %1.%2 is not a name").arg(where, it.key()));
      events_.append({object, it.key(), it.value().toString(), where});
    }
  }
  CreateChildren(object, desc.value(u"components"), where);
}

void Builder::CreateChildren(QObject* parent, const QJsonValue& list, const QString& where) {
  if (list.isUndefined()) return;
  if (!list.isArray()) Fail(QStringLiteral("the components of %1 are not an array").arg(where));
  for (const QJsonValue entry : list.toArray()) {
    if (!entry.isObject()) Fail(QStringLiteral("a component of %1 is not an object").arg(where));
    const QJsonObject desc = entry.toObject();
    const QString name = desc.value(u"name").toString();
    const QString class_name = desc.value(u"class").toString();
    if (name.isEmpty()) Fail(QStringLiteral("a component of %1 has no name").arg(where));
    if (components_.contains(name)) Fail(QStringLiteral("the name '%1' is used twice").arg(name));
    QObject* object = ClassRegistry::Create(class_name);
    if (!object) Fail(QStringLiteral("unknown class '%1' of component '%2'").arg(class_name, name));
    object->setObjectName(name);
    if (auto* widget = qobject_cast<QWidget*>(object)) {
      auto* parent_widget = qobject_cast<QWidget*>(parent);
      if (!parent_widget) {
        delete object;
        Fail(QStringLiteral("the control '%1' lies in '%2', which is not a control").arg(name, where));
      }
      widget->setParent(parent_widget);
    } else {
      object->setParent(parent);
    }
    components_.insert(name, object);
    created_.append(object);
    if (auto* loadable = dynamic_cast<Loadable*>(object)) loadable->BeginLoad();
    Describe(object, desc, name);
  }
}

void Builder::WriteProperties(QObject* object, const QJsonObject& values, const QString& where) {
  const QMetaObject* meta = object->metaObject();
  QSet<QString> written;
  // The class's declaration order, base classes first, decides the order of the writes.
  for (int i = 0; i < meta->propertyCount(); ++i) {
    const QMetaProperty property = meta->property(i);
    const QString name = QString::fromLatin1(property.name());
    const auto it = values.constFind(name);
    if (it == values.constEnd()) continue;
    WriteProperty(object, property, *it, where + u'.' + name);
    written.insert(name);
  }
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (!written.contains(it.key())) {
      Fail(QStringLiteral("unknown property '%1' of %2 (%3)")
               .arg(it.key(), where, ClassRegistry::ClassName(*meta)));
    }
  }
}

void Builder::WriteProperty(QObject* object, const QMetaProperty& property, const QJsonValue& value,
                            const QString& where) {
  const QMetaType type = property.metaType();
  const bool object_pointer = type.flags().testFlag(QMetaType::PointerToQObject);

  // An option set or a collection: the property holds an object whose own properties are written.
  if (object_pointer && !property.isWritable()) {
    QObject* held = property.read(object).value<QObject*>();
    if (!held) Fail(QStringLiteral("%1 holds no object").arg(where));
    if (value.isObject()) {
      WriteProperties(held, value.toObject(), where);
      return;
    }
    if (value.isArray()) {
      FillCollection(held, value.toArray(), where);
      return;
    }
    Fail(QStringLiteral("%1 expects an object of properties").arg(where));
  }
  if (!property.isWritable()) Fail(QStringLiteral("%1 is read-only").arg(where));

  QVariant variant;
  if (object_pointer) {
    if (value.isNull() || (value.isString() && value.toString().isEmpty())) {
      QObject* none = nullptr;
      variant = QVariant(type, &none);
    } else if (value.isString()) {
      references_.append({object, property, value.toString(), where});
      return;
    } else {
      Fail(QStringLiteral("%1 expects a component name").arg(where));
    }
  } else if (property.isEnumType()) {
    const QMetaEnum meta_enum = property.enumerator();
    int number = 0;
    bool ok = true;
    if (value.isString()) {
      const QByteArray keys = value.toString().toLatin1();
      number = meta_enum.isFlag() ? meta_enum.keysToValue(keys, &ok) : meta_enum.keyToValue(keys, &ok);
      if (meta_enum.isFlag() && keys.isEmpty()) {
        number = 0;
        ok = true;
      }
    } else if (value.isArray() && meta_enum.isFlag()) {
      for (const QJsonValue key : value.toArray()) {
        bool key_ok = false;
        number |= meta_enum.keyToValue(key.toString().toLatin1(), &key_ok);
        ok = ok && key.isString() && key_ok;
      }
    } else {
      ok = false;
    }
    if (!ok) {
      Fail(QStringLiteral("%1 has no value %2").arg(where, QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact))));
    }
    variant = QVariant(type, &number);
  } else if (type == QMetaType::fromType<Color>()) {
    const auto color = value.isString() ? Color::FromName(value.toString()) : std::nullopt;
    if (!color) Fail(QStringLiteral("%1 expects a colour").arg(where));
    variant = QVariant::fromValue(*color);
  } else {
    switch (type.id()) {
      case QMetaType::Bool:
        if (!value.isBool()) Fail(QStringLiteral("%1 expects true or false").arg(where));
        variant = value.toBool();
        break;
      case QMetaType::Int:
      case QMetaType::UInt:
      case QMetaType::LongLong:
      case QMetaType::Short:
      case QMetaType::UShort: {
        const double number = value.toDouble(std::nan(""));
        if (!value.isDouble() || number != std::floor(number)) Fail(QStringLiteral("%1 expects a whole number").arg(where));
        const bool fits = type.id() == QMetaType::Int    ? number >= INT_MIN && number <= INT_MAX
                          : type.id() == QMetaType::UInt   ? number >= 0 && number <= UINT_MAX
                          : type.id() == QMetaType::Short  ? number >= SHRT_MIN && number <= SHRT_MAX
                          : type.id() == QMetaType::UShort ? number >= 0 && number <= USHRT_MAX
                                                           : std::abs(number) < 9.0e15;
        if (!fits) Fail(QStringLiteral("%1 is out of range").arg(where));
        variant = QVariant(static_cast<qlonglong>(number));
        variant.convert(type);
        break;
      }
      case QMetaType::Double:
      case QMetaType::Float:
        if (!value.isDouble()) Fail(QStringLiteral("%1 expects a number").arg(where));
        variant = value.toDouble();
        variant.convert(type);
        break;
      case QMetaType::QString:
        if (!value.isString()) Fail(QStringLiteral("%1 expects a text").arg(where));
        variant = value.toString();
        break;
      case QMetaType::QStringList: {
        if (!value.isArray()) Fail(QStringLiteral("%1 expects a list of texts").arg(where));
        QStringList list;
        for (const QJsonValue item : value.toArray()) list.append(item.toString());
        variant = list;
        break;
      }
      case QMetaType::QImage: {
        if (!value.isString()) Fail(QStringLiteral("%1 expects a picture resource").arg(where));
        QImage image;
        if (!value.toString().isEmpty() && !image.load(value.toString())) {
          Fail(QStringLiteral("%1: the picture %2 cannot be read").arg(where, value.toString()));
        }
        variant = image;
        break;
      }
      default:
        Fail(QStringLiteral("%1 has a type (%2) that a layout cannot write").arg(where, QString::fromLatin1(type.name())));
    }
  }
  Write(object, property, std::move(variant), where);
}

// Writes through the object's own generated dispatch rather than QMetaProperty::write, so that an
// error thrown by a setter (a malformed resource, say) never unwinds through Qt's frames; the
// error is reported with the place in the layout.
void Builder::Write(QObject* object, const QMetaProperty& property, QVariant value, const QString& where) {
  if (value.metaType() != property.metaType() && !value.convert(property.metaType())) {
    Fail(QStringLiteral("%1 cannot take that value").arg(where));
  }
  int status = -1;
  int flags = 0;
  void* argv[] = {value.data(), nullptr, &status, &flags};
  try {
    object->qt_metacall(QMetaObject::WriteProperty, property.propertyIndex(), argv);
  } catch (const Error& e) {
    Fail(QStringLiteral("%1: %2").arg(where, e.Message()));
  } catch (const std::exception& e) {
    Fail(QStringLiteral("%1: %2").arg(where, QString::fromUtf8(e.what())));
  }
}

void Builder::FillCollection(QObject* collection, const QJsonArray& items, const QString& where) {
  auto* target = qobject_cast<Collection*>(collection);
  if (!target) Fail(QStringLiteral("%1 is not a collection").arg(where));
  int index = 0;
  for (const QJsonValue item : items) {
    if (!item.isObject()) Fail(QStringLiteral("%1[%2] is not an object").arg(where).arg(index));
    WriteProperties(target->AddItem(), item.toObject(), QStringLiteral("%1[%2]").arg(where).arg(index));
    ++index;
  }
}

void Builder::ResolveReferences() {
  for (const PendingReference& ref : references_) {
    QObject* target = components_.value(ref.target);
    if (!target) Fail(QStringLiteral("%1 names the unknown component '%2'").arg(ref.where, ref.target));
    const QMetaObject* wanted = ref.property.metaType().metaObject();
    if (wanted && !target->metaObject()->inherits(wanted)) {
      Fail(QStringLiteral("%1: '%2' is not a %3").arg(ref.where, ref.target, ClassRegistry::ClassName(*wanted)));
    }
    Write(ref.object, ref.property, QVariant(ref.property.metaType(), &target), ref.where);
  }
}

void Builder::FillFormMembers() {
  const QMetaObject* meta = form_->metaObject();
  for (auto it = components_.constBegin(); it != components_.constEnd(); ++it) {
    const int index = meta->indexOfProperty(it.key().toLatin1().constData());
    if (index < 0) continue;
    const QMetaProperty property = meta->property(index);
    const QMetaObject* wanted = property.metaType().metaObject();
    if (!property.isWritable() || !property.metaType().flags().testFlag(QMetaType::PointerToQObject)) continue;
    QObject* component = it.value();
    if (wanted && !component->metaObject()->inherits(wanted)) {
      Fail(QStringLiteral("the window's member '%1' is not a %2").arg(it.key(), ClassRegistry::ClassName(*component->metaObject())));
    }
    Write(form_, property, QVariant(property.metaType(), &component), QStringLiteral("the window's member '%1'").arg(it.key()));
  }
}

void Builder::ApplyTabOrders() {
  for (QObject* object : created_) {
    auto* parent = qobject_cast<QWidget*>(object);
    if (!parent) continue;
    QList<Control*> ordered;
    for (QObject* child : parent->children()) {
      auto* control = qobject_cast<Control*>(child);
      // A control that takes no focus (a label that is no tab stop) has no place in the chain, and
      // Qt would not link it: its neighbours are linked to each other.
      if (control && control->TabOrder() >= 0 && control->focusPolicy() != Qt::NoFocus) ordered.append(control);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Control* a, const Control* b) { return a->TabOrder() < b->TabOrder(); });
    for (qsizetype i = 1; i < ordered.size(); ++i) QWidget::setTabOrder(ordered[i - 1], ordered[i]);
  }
}

void Builder::BindEvents() {
  struct Binding {
    QObject* object;
    QMetaMethod signal;
    QMetaMethod handler;
  };
  QList<Binding> bindings;
  const QMetaObject* form_meta = form_->metaObject();
  const int first_own_method = Form::staticMetaObject.methodCount();
  for (const PendingEvent& event : events_) {
    const QMetaObject* meta = event.object->metaObject();
    QMetaMethod signal;
    for (int i = 0; i < meta->methodCount(); ++i) {
      const QMetaMethod method = meta->method(i);
      if (method.methodType() == QMetaMethod::Signal && QString::fromLatin1(method.name()) == event.event) {
        signal = method;
        break;
      }
    }
    if (!signal.isValid()) {
      Fail(QStringLiteral("unknown event '%1' of %2 (%3)").arg(event.event, event.where, ClassRegistry::ClassName(*meta)));
    }
    QMetaMethod handler;
    for (int i = first_own_method; i < form_meta->methodCount(); ++i) {
      const QMetaMethod method = form_meta->method(i);
      if (method.methodType() != QMetaMethod::Signal && QString::fromLatin1(method.name()) == event.handler) {
        if (handler.isValid()) Fail(QStringLiteral("the handler '%1' is overloaded").arg(event.handler));
        handler = method;
      }
    }
    if (!handler.isValid()) {
      Fail(QStringLiteral("unknown handler '%1' for %2.%3").arg(event.handler, event.where, event.event));
    }
    if (!EventBinder::Compatible(signal, handler)) {
      Fail(QStringLiteral("the handler '%1' does not take the parameters of %2.%3 (%4)")
               .arg(event.handler, event.where, event.event, QString::fromLatin1(signal.methodSignature())));
    }
    bindings.append({event.object, signal, handler});
  }
  for (const Binding& binding : bindings) EventBinder::Bind(binding.object, binding.signal, form_, binding.handler);
}

}  // namespace

void LayoutLoader::Load(Form* form, const QString& layoutPath) {
  QFile file(layoutPath);
  if (!file.open(QIODevice::ReadOnly)) throw Error(QStringLiteral("Layout %1 cannot be read").arg(layoutPath));
  LoadFromJson(form, file.readAll(), layoutPath);
}

void LayoutLoader::LoadFromJson(Form* form, const QByteArray& json, const QString& sourceName) {
  ClassRegistry::RegisterAll();
  QJsonParseError parse_error;
  const QJsonDocument doc = QJsonDocument::fromJson(json, &parse_error);
  if (doc.isNull() || !doc.isObject()) {
    throw Error(QStringLiteral("Layout %1 is not a JSON object: %2").arg(sourceName, parse_error.errorString()));
  }
  Builder(form, sourceName).Build(doc.object());
}

}  // namespace orvelle
