#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvelle::demo {

// The picture formats the service draws; each picture is served in exactly one of them.
enum class PictureFormat { Png, Jpeg, Gif };

// File name extension of a picture format, as it appears in picture addresses.
std::string_view extensionOf(PictureFormat format);
// Media type sent with a picture of that format.
std::string_view mediaTypeOf(PictureFormat format);

struct Singer {
  std::string id;    // stable, ASCII; names the singer's picture
  std::string name;  // UTF-8
  std::string region;
  std::string genre;
  PictureFormat avatarFormat;
};

struct Song {
  std::string sid;    // decimal, unique
  std::string ssid;   // four hexadecimal digits; the lyrics request must present it with the sid
  std::string title;  // UTF-8
  std::string singerId;
  std::string albumTitle;
  int publicYear;
  long long updateTime;  // seconds since the epoch
  int lengthSeconds;     // the synthesized audio lasts exactly this long
  std::string lyrics;    // lines separated by '\n'; empty for a song without lyrics
  PictureFormat coverFormat;
};

// A channel of the radio and the songs it plays, in the order it plays them.
struct Channel {
  std::string id;
  std::vector<std::string> sids;
};

// The fixed catalogue the service plays from.
class Catalogue {
 public:
  Catalogue();

  const std::vector<Song>& songs() const { return songs_; }
  const std::vector<Singer>& singers() const { return singers_; }
  const std::vector<Channel>& channels() const { return channels_; }

  const Song* findSong(std::string_view sid) const;
  const Singer* findSinger(std::string_view id) const;
  // The channel with exactly this id; nullptr for an unknown or empty id.
  const Channel* findChannel(std::string_view id) const;

 private:
  std::vector<Song> songs_;
  std::vector<Singer> singers_;
  std::vector<Channel> channels_;
};

}  // namespace orvelle::demo
