#include "playback/mpv_library.h"

#include "service/error.h"
#include "service/log.h"

#include <QElapsedTimer>
#include <QString>

#include <dlfcn.h>

#include <future>
#include <mutex>
#include <optional>

namespace orvelle {
namespace {

// The library's names: the ABI the program is built for, then the development link to it.
constexpr const char* kLibraryNames[] = {"libmpv.so.2", "libmpv.so"};

// The load's outcome: the entry points, or why there are none.
struct LoadResult {
  std::optional<MpvLibrary> library;
  QString failure;
};

template <typename Function>
bool Resolve(void* handle, const char* name, Function& function, QString& failure) {
  function = reinterpret_cast<Function>(dlsym(handle, name));
  if (!function) failure = QStringLiteral("libmpv has no %1").arg(QLatin1String(name));
  return function != nullptr;
}

LoadResult Load() {
  QElapsedTimer loading;
  loading.start();
  LoadResult result;
  void* handle = nullptr;
  for (const char* name : kLibraryNames) {
    // Kept for the whole run: the player may be made again, and libmpv's threads use its code.
    handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle) break;
    result.failure = QString::fromLocal8Bit(dlerror());
  }
  if (!handle) return result;
  MpvLibrary library{};
  QString& failure = result.failure;
  const bool complete = Resolve(handle, "mpv_create", library.create, failure) &&
                        Resolve(handle, "mpv_initialize", library.initialize, failure) &&
                        Resolve(handle, "mpv_terminate_destroy", library.terminate_destroy, failure) &&
                        Resolve(handle, "mpv_set_option_string", library.set_option_string, failure) &&
                        Resolve(handle, "mpv_set_property", library.set_property, failure) &&
                        Resolve(handle, "mpv_get_property", library.get_property, failure) &&
                        Resolve(handle, "mpv_command", library.command, failure) &&
                        Resolve(handle, "mpv_wait_event", library.wait_event, failure) &&
                        Resolve(handle, "mpv_set_wakeup_callback", library.set_wakeup_callback, failure) &&
                        Resolve(handle, "mpv_request_event", library.request_event, failure) &&
                        Resolve(handle, "mpv_request_log_messages", library.request_log_messages, failure) &&
                        Resolve(handle, "mpv_error_string", library.error_string, failure);
  if (!complete) return result;
  result.library = library;
  result.failure.clear();
  qCDebug(lcPlayer) << "libmpv loaded in" << loading.elapsed() << "ms";
  return result;
}

std::once_flag started;
std::shared_future<LoadResult> load;

}  // namespace

void MpvLibrary::StartLoading() {
  std::call_once(started, [] { load = std::async(std::launch::async, Load).share(); });
}

const MpvLibrary& MpvLibrary::Get() {
  StartLoading();
  const LoadResult& result = load.get();
  if (!result.library) {
    qCWarning(lcPlayer).noquote() << "libmpv could not be loaded:" << result.failure;
    throw Error(QStringLiteral("The media player could not be created"));
  }
  return *result.library;
}

}  // namespace orvelle
