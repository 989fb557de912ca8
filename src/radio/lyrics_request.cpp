#include "radio/lyrics_request.h"

#include "radio/client_requests.h"
#include "service/json.h"
#include "service/log.h"
#include "service/service_text.h"
#include "toolkit/network_wait.h"

namespace orvelle {
namespace {

QString NoLyrics() { return QString::fromUtf16(kNoLyricsText); }

void FetchLyricsAnswer(PlayState& state, http::HttpClient& client, const QString& address) {
  try {
    state.ResponseText = GetText(client, address);
  } catch (const RequestAbandoned&) {
    throw;
  } catch (const std::exception& error) {
    qCDebug(lcLyrics) << "lyrics request failed:" << error.what();
  }
}

// The lyrics text of the answer in ResponseText, or none.
std::optional<QString> LyricsOfAnswer(const QString& answer) {
  const std::optional<json::Value> root = json::ParseJSONValue(TrimControlAndSpace(answer));
  if (!root || root->kind != json::Kind::Object) {
    qCDebug(lcLyrics) << "lyrics answer is not a JSON object";
    return std::nullopt;
  }
  const json::Value* lyric = json::GetValue(*root, QStringLiteral("lyric"));
  if (!lyric) {
    qCDebug(lcLyrics) << "lyrics answer has no \"lyric\" member";
    return std::nullopt;
  }
  return json::ToString(*lyric).remove(u'"');
}

}  // namespace

QString RequestLyrics(PlayState& state, http::HttpClient& client) {
  if (state.CurrentSong.sid.isEmpty() || state.CurrentSong.ssid.isEmpty()) return NoLyrics();
  const QString address = ServiceBase() + QStringLiteral("/j/v2/lyric?sid=") + state.CurrentSong.sid +
                          QStringLiteral("&ssid=") + state.CurrentSong.ssid;
  try {
    FetchLyricsAnswer(state, client, address);
  } catch (const RequestAbandoned&) {
    qCDebug(lcLyrics) << "lyrics request abandoned: the program is closing";
    return NoLyrics();
  }
  const std::optional<QString> lyrics = LyricsOfAnswer(state.ResponseText);
  if (!lyrics) return NoLyrics();
  state.ResponseText = *lyrics;
  return state.ResponseText;
}

}  // namespace orvelle
