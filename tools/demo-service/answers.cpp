#include "answers.h"

#include "json_writer.h"

namespace orvelle::demo {

std::string coverPath(const Song& song) {
  return "/img/covers/" + song.sid + "." + std::string(extensionOf(song.coverFormat));
}

std::string singerPicturePath(const Singer& singer) {
  return "/img/singers/" + singer.id + "." + std::string(extensionOf(singer.avatarFormat));
}

std::string audioPath(const Song& song, AudioFormat format) {
  return "/audio/" + song.sid + (format == AudioFormat::Mp3 ? ".mp3" : ".wav");
}

namespace {

void writeSinger(JsonWriter& json, const Singer& singer, std::string_view baseUrl) {
  json.beginObject();
  json.key("style").beginArray().endArray();
  json.key("name").string(singer.name);
  json.key("region").beginArray().string(singer.region).endArray();
  json.key("name_usual").string(singer.name);
  json.key("genre").beginArray().string(singer.genre).endArray();
  json.key("avatar").string(std::string(baseUrl) + singerPicturePath(singer));
  json.key("related_site_id").number(0);
  json.key("is_site_artist").boolean(false);
  json.key("id").string(singer.id);
  json.endObject();
}

void writeSong(JsonWriter& json, const Catalogue& catalogue, const Song& song,
               std::string_view baseUrl, int singersPerSong) {
  const std::string aid = "3" + song.sid;
  json.beginObject();
  json.key("albumtitle").string(song.albumTitle);
  json.key("url").string(std::string(baseUrl) + audioPath(song));
  json.key("file_ext").string("mp3");
  json.key("album").string("/subject/" + aid + "/");
  json.key("ssid").string(song.ssid);
  json.key("title").string(song.title);
  json.key("sid").string(song.sid);
  json.key("status").number(0);
  json.key("picture").string(std::string(baseUrl) + coverPath(song));
  json.key("update_time").number(song.updateTime);
  json.key("alert_msg").string("");
  json.key("public_time").string(std::to_string(song.publicYear));
  json.key("singers").beginArray();
  const Singer* singer = catalogue.findSinger(song.singerId);
  if (singersPerSong >= 1 && singer) writeSinger(json, *singer, baseUrl);
  if (singersPerSong >= 2) {
    // A second singer for the fault that names two: the next one in the catalogue.
    const auto& singers = catalogue.singers();
    const size_t index = static_cast<size_t>(singer - singers.data());
    writeSinger(json, singers[(index + 1) % singers.size()], baseUrl);
  }
  json.endArray();
  json.key("like").number(0);
  json.key("aid").string(aid);
  json.key("kbps").string("128");
  json.key("subtype").string("");
  json.key("length").number(song.lengthSeconds);
  json.key("is_royal").boolean(false);
  json.endObject();
}

}  // namespace

std::string playlistAnswer(const Catalogue& catalogue, const std::vector<const Song*>& songs,
                           std::string_view baseUrl, const PlaylistOptions& options) {
  JsonWriter json(options.escapeNonAscii);
  json.beginObject();
  json.key("r").number(0);
  json.key("is_show_quick_start").number(0);
  json.key("song").beginArray();
  for (const Song* song : songs) writeSong(json, catalogue, *song, baseUrl, options.singersPerSong);
  json.endArray();
  json.key("version_max").number(100);
  json.endObject();
  return json.text();
}

std::string lyricAnswer(const Song& song, bool escapeNonAscii) {
  JsonWriter json(escapeNonAscii);
  json.beginObject();
  if (!song.lyrics.empty()) json.key("lyric").string(song.lyrics);
  json.key("sid").string(song.sid);
  json.key("name").string(song.title);
  json.endObject();
  return json.text();
}

std::string unknownSongAnswer() {
  JsonWriter json;
  json.beginObject().key("r").number(1).key("err").string("song not found").endObject();
  return json.text();
}

std::string malformedAnswer(const std::string& wellFormed) {
  // Everything up to the middle of the text: an unterminated object, usually inside a string.
  return wellFormed.substr(0, wellFormed.size() / 2);
}

}  // namespace orvelle::demo
