#include "radio/lyrics_request.h"

#include "radio/service_answers.h"
#include "service/json.h"
#include "service/log.h"
#include "service/service_text.h"

#include <optional>

namespace orvelle {
namespace {

QString NoLyrics() { return QString::fromUtf16(kNoLyricsText); }

// The lyrics text of an answer, or none.
std::optional<QString> LyricsOfAnswer(const QString& answer) {
  const std::optional<json::Value> root = json::ParseJSONValue(TrimControlAndSpace(answer));
  if (!root || root->kind != json::Kind::Object) {
    qCWarning(lcLyrics) << "lyrics answer is not a JSON object";
    return std::nullopt;
  }
  const json::Value* lyric = json::GetValue(*root, QStringLiteral("lyric"));
  if (!lyric) {
    qCDebug(lcLyrics) << "lyrics answer has no \"lyric\" member";
    return std::nullopt;
  }
  return ValueText(*lyric);
}

}  // namespace

ClientRequests::Id RequestLyrics(PlayState& state, ClientRequests& requests, LyricsDone done) {
  if (state.CurrentSong.sid.isEmpty() || state.CurrentSong.ssid.isEmpty()) {
    done(NoLyrics());
    return 0;
  }
  const QString address = ServiceBase() + QStringLiteral("/j/v2/lyric?sid=") + state.CurrentSong.sid +
                          QStringLiteral("&ssid=") + state.CurrentSong.ssid;
  return requests.GetText(address, [&state, done = std::move(done)](const QString& text, std::exception_ptr error) {
    if (error) {
      try {
        std::rethrow_exception(error);
      } catch (const std::exception& failure) {
        qCWarning(lcLyrics) << "lyrics request failed:" << failure.what();
      }
      // The answer the parse reads is the last one the service gave.
    } else {
      state.ResponseText = text;
    }
    const std::optional<QString> lyrics = LyricsOfAnswer(state.ResponseText);
    if (!lyrics) {
      done(NoLyrics());
      return;
    }
    state.ResponseText = *lyrics;
    done(state.ResponseText);
  });
}

}  // namespace orvelle
