#pragma once

#include "radio/play_state.h"
#include "service/http/http_client.h"

namespace orvelle {

// The text that stands for "no lyrics".
inline constexpr char16_t kNoLyricsText[] = u"无歌词";

// The current song's lyrics from the service: the "lyric" member's text form without double
// quotes, also left in ResponseText. "无歌词" when the song has no sid or ssid (no request is
// made), or when the request or the answer fails; nothing is shown and no error comes out.
QString RequestLyrics(PlayState& state, http::HttpClient& client);

}  // namespace orvelle
