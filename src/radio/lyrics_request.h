#pragma once

#include "radio/client_requests.h"
#include "radio/radio_state.h"

#include <functional>

namespace orvelle {

// The text that stands for "no lyrics": the song has none.
inline constexpr char16_t kNoLyricsText[] = u"无歌词";
// The text that stands for lyrics that could not be had: the request or its answer failed, and
// asking again may bring them.
inline constexpr char16_t kLyricsFailedText[] = u"歌词加载失败，点击重试";

// What a lyrics request came to: the text to show, and whether it stands for a failure.
struct LyricsAnswer {
  QString text;
  bool failed = false;
};

// Requests the current song's lyrics. `done` gets, from the event loop:
// - the "lyric" member's text (its JSON string value);
// - "无歌词" when the song has none: the answer has no "lyric" member, or it is null or empty, or
//   the song has no sid or ssid (then no request is made, `done` is called at once and the result
//   is 0; otherwise it is the request's id);
// - "歌词加载失败，点击重试", marked failed, when the request fails or its answer is not a JSON
//   object; logged.
using LyricsDone = std::function<void(const LyricsAnswer& answer)>;
ClientRequests::Id RequestLyrics(const CurrentSongRecord& song, ClientRequests& requests, LyricsDone done);

}  // namespace orvelle
