#include "radio/lyrics_request.h"

#include "radio/service_answers.h"
#include "service/json.h"
#include "service/log.h"
#include "service/service_text.h"

#include <optional>

namespace orvelle {
namespace {

LyricsAnswer NoLyrics() { return {QString::fromUtf16(kNoLyricsText), false}; }
LyricsAnswer LyricsFailed() { return {QString::fromUtf16(kLyricsFailedText), true}; }

// The lyrics the answer holds, or what stands for none or for a failure.
LyricsAnswer LyricsOfAnswer(const QString& answer) {
  const std::optional<json::Value> root = json::ParseJSONValue(TrimControlAndSpace(answer));
  if (!root || root->kind != json::Kind::Object) {
    qCWarning(lcLyrics) << "lyrics answer is not a JSON object";
    return LyricsFailed();
  }
  const json::Value* lyric = json::GetValue(*root, QStringLiteral("lyric"));
  if (!lyric) {
    qCDebug(lcLyrics) << "lyrics answer has no \"lyric\" member";
    return NoLyrics();
  }
  // A null or an empty text is a song without lyrics, not lyrics reading "null" or nothing.
  const QString text = lyric->kind == json::Kind::Null ? QString() : ValueText(*lyric);
  if (text.isEmpty()) {
    qCDebug(lcLyrics) << "lyrics answer has no text in its \"lyric\" member";
    return NoLyrics();
  }
  return {text, false};
}

}  // namespace

ClientRequests::Id RequestLyrics(const CurrentSongRecord& song, ClientRequests& requests, LyricsDone done) {
  if (song.sid.isEmpty() || song.ssid.isEmpty()) {
    done(NoLyrics());
    return 0;
  }
  const QString address =
      ServiceBase() + QStringLiteral("/j/v2/lyric?sid=") + song.sid + QStringLiteral("&ssid=") + song.ssid;
  return requests.GetText(address, [done = std::move(done)](const QString& text, std::exception_ptr error) {
    if (error) {
      // Another song's answer must never stand in for this one's: a failed request has no lyrics.
      try {
        std::rethrow_exception(error);
      } catch (const std::exception& failure) {
        qCWarning(lcLyrics) << "lyrics request failed:" << failure.what();
      }
      done(LyricsFailed());
      return;
    }
    done(LyricsOfAnswer(text));
  });
}

}  // namespace orvelle
