#include "faults.h"

#include "json_writer.h"
#include "service/error.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <array>
#include <utility>

namespace orvelle::demo {

namespace {

constexpr std::array<std::pair<FaultTarget, std::string_view>, 4> kTargets{{
    {FaultTarget::Playlist, "playlist"},
    {FaultTarget::Lyric, "lyric"},
    {FaultTarget::Picture, "picture"},
    {FaultTarget::Audio, "audio"},
}};

constexpr std::array<std::pair<FaultKind, std::string_view>, 11> kKinds{{
    {FaultKind::Status, "status"},
    {FaultKind::Delay, "delay"},
    {FaultKind::Malformed, "malformed"},
    {FaultKind::TwoSingers, "two_singers"},
    {FaultKind::NoSingers, "no_singers"},
    {FaultKind::NoSongs, "no_songs"},
    {FaultKind::TwoSongs, "two_songs"},
    {FaultKind::Empty, "empty"},
    {FaultKind::OneByte, "one_byte"},
    {FaultKind::Garbage, "garbage"},
    {FaultKind::Outage, "outage"},
}};

bool supports(FaultTarget target, FaultKind kind) {
  if (kind == FaultKind::Status || kind == FaultKind::Delay) return true;
  switch (target) {
    case FaultTarget::Playlist:
      return kind == FaultKind::Malformed || kind == FaultKind::TwoSingers ||
             kind == FaultKind::NoSingers || kind == FaultKind::NoSongs || kind == FaultKind::TwoSongs;
    case FaultTarget::Lyric:
      return kind == FaultKind::Malformed;
    case FaultTarget::Picture:
      return kind == FaultKind::Empty || kind == FaultKind::OneByte || kind == FaultKind::Garbage;
    case FaultTarget::Audio:
      return kind == FaultKind::Outage;
  }
  return false;
}

template <typename T, size_t N>
std::string_view nameOf(const std::array<std::pair<T, std::string_view>, N>& table, T value) {
  for (const auto& [entry, name] : table)
    if (entry == value) return name;
  return "?";
}

template <typename T, size_t N>
std::optional<T> valueOf(const std::array<std::pair<T, std::string_view>, N>& table, const QString& name) {
  for (const auto& [entry, entryName] : table)
    if (name == QLatin1String(entryName.data(), static_cast<qsizetype>(entryName.size()))) return entry;
  return std::nullopt;
}

int integerMember(const QJsonObject& object, const char* name, int fallback, int low, int high) {
  const QJsonValue value = object.value(QLatin1String(name));
  if (value.isUndefined()) return fallback;
  const double number = value.toDouble(-1e300);
  if (!value.isDouble() || number != static_cast<double>(static_cast<long long>(number)) || number < low ||
      number > high)
    throw Error(QStringLiteral("Fault member \"%1\" must be an integer from %2 to %3")
                    .arg(QLatin1String(name))
                    .arg(low)
                    .arg(high));
  return static_cast<int>(number);
}

}  // namespace

Fault parseFault(std::string_view json) {
  QJsonParseError error{};
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray(json.data(), static_cast<qsizetype>(json.size())), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject())
    throw Error(QStringLiteral("A fault is a JSON object"));
  const QJsonObject object = document.object();
  static constexpr std::array<const char*, 7> kMembers{"target", "kind",  "status", "delay_ms",
                                                       "after_bytes", "count", "match"};
  for (const QString& key : object.keys())
    if (std::none_of(kMembers.begin(), kMembers.end(), [&](const char* m) { return key == QLatin1String(m); }))
      throw Error(QStringLiteral("Unknown fault member \"%1\"").arg(key));

  Fault fault;
  const auto target = valueOf(kTargets, object.value(QLatin1String("target")).toString());
  if (!target) throw Error(QStringLiteral("Fault target must be playlist, lyric, picture or audio"));
  fault.target = *target;
  const auto kind = valueOf(kKinds, object.value(QLatin1String("kind")).toString());
  if (!kind) throw Error(QStringLiteral("Unknown fault kind"));
  fault.kind = *kind;
  if (!supports(fault.target, fault.kind))
    throw Error(QStringLiteral("Fault kind %1 does not apply to %2")
                    .arg(QLatin1String(nameOf(kKinds, fault.kind).data()),
                         QLatin1String(nameOf(kTargets, fault.target).data())));
  const bool errorsAreServerSide = fault.target == FaultTarget::Playlist || fault.target == FaultTarget::Lyric;
  fault.status = integerMember(object, "status", errorsAreServerSide ? 500 : 404, 100, 599);
  fault.delayMs = integerMember(object, "delay_ms", 1000, 0, 600000);
  fault.afterBytes = integerMember(object, "after_bytes", 0, 0, 1000000000);
  fault.count = integerMember(object, "count", 1, 1, 10000);
  const QJsonValue match = object.value(QLatin1String("match"));
  if (!match.isUndefined() && !match.isString()) throw Error(QStringLiteral("Fault member \"match\" must be a text"));
  fault.match = match.toString().toStdString();
  return fault;
}

std::string describeFault(const Fault& fault) {
  JsonWriter json;
  json.beginObject();
  json.key("target").string(nameOf(kTargets, fault.target));
  json.key("kind").string(nameOf(kKinds, fault.kind));
  if (fault.kind == FaultKind::Status) json.key("status").number(fault.status);
  if (fault.kind == FaultKind::Delay || fault.kind == FaultKind::Outage) json.key("delay_ms").number(fault.delayMs);
  if (fault.kind == FaultKind::Outage) json.key("after_bytes").number(fault.afterBytes);
  json.key("count").number(fault.count);
  if (!fault.match.empty()) json.key("match").string(fault.match);
  json.endObject();
  return json.text();
}

void FaultBoard::add(Fault fault) {
  std::lock_guard lock(mutex_);
  pending_.push_back(std::move(fault));
}

std::optional<Fault> FaultBoard::take(FaultTarget target, std::string_view path) {
  std::lock_guard lock(mutex_);
  for (auto it = pending_.begin(); it != pending_.end(); ++it) {
    if (it->target != target || path.find(it->match) == std::string_view::npos) continue;
    Fault applied = *it;
    applied.count = 1;
    if (--it->count == 0) pending_.erase(it);
    return applied;
  }
  return std::nullopt;
}

void FaultBoard::clear() {
  std::lock_guard lock(mutex_);
  pending_.clear();
}

std::string FaultBoard::describe() const {
  std::lock_guard lock(mutex_);
  std::string out = "{\"faults\":[";
  for (size_t i = 0; i < pending_.size(); ++i) {
    if (i) out += ',';
    out += describeFault(pending_[i]);
  }
  out += "]}";
  return out;
}

}  // namespace orvelle::demo
