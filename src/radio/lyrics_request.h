#pragma once

#include "radio/client_requests.h"
#include "radio/radio_state.h"

#include <functional>

namespace orvelle {

// The text that stands for "no lyrics".
inline constexpr char16_t kNoLyricsText[] = u"无歌词";

// Requests the song's lyrics. `done` gets, from the event loop, the "lyric" member's text (its
// JSON string value); or "无歌词" when the request or the answer fails (logged, nothing shown).
// When the song has no sid or ssid no request is made and `done` is called at once with "无歌词";
// the result is then 0, else the request's id.
using LyricsDone = std::function<void(const QString& lyrics)>;
ClientRequests::Id RequestLyrics(const CurrentSongRecord& song, ClientRequests& requests, LyricsDone done);

}  // namespace orvelle
