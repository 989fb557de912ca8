#include "catalogue.h"

namespace orvelle::demo {

std::string_view extensionOf(PictureFormat format) {
  switch (format) {
    case PictureFormat::Png: return "png";
    case PictureFormat::Jpeg: return "jpg";
    case PictureFormat::Gif: return "gif";
  }
  return "bin";
}

std::string_view mediaTypeOf(PictureFormat format) {
  switch (format) {
    case PictureFormat::Png: return "image/png";
    case PictureFormat::Jpeg: return "image/jpeg";
    case PictureFormat::Gif: return "image/gif";
  }
  return "application/octet-stream";
}

namespace {

std::vector<Singer> makeSingers() {
  using enum PictureFormat;
  return {
      {"201", "林晓岚", "中国", "Pop", Png},
      {"202", "Mara Quill", "Ireland", "Indie", Jpeg},
      {"203", "The Low Tides", "United Kingdom", "Rock", Gif},
      {"204", "Odette & the Owls", "France", "R&B", Png},
      {"205", "周一舟", "中国", "Folk", Jpeg},
      {"206", "Kilowatt Garden", "Germany", "Electronic", Gif},
      {"207", "陈默", "中国香港", "Cantopop", Jpeg},
      {"208", "葉山あおい", "日本", "J-Pop", Png},
      {"209", "Clara Voss Quartet", "Austria", "Jazz", Jpeg},
      {"210", "한서리", "대한민국", "K-Pop", Gif},
      {"211", "Juniper Road Band", "United States", "Country", Png},
  };
}

std::vector<Song> makeSongs() {
  using enum PictureFormat;
  return {
      {"1001", "5a1c", "夜航", "201", "城市灯火", 2019, 1561939200, 38,
       "夜色落在跑道尽头\n"
       "我把名字写进风里\n"
       "城市灯火一盏一盏\n"
       "替我照亮回家的路\n"
       "\n"
       "飞过云层/飞过海\n"
       "梦里还是那条街",
       Png},
      {"1002", "b7e2", "Paper Lanterns", "202", "Harbour Lights", 2021, 1617235200, 33,
       "We folded paper lanterns on the pier\n"
       "and let the tide decide where they would go\n"
       "one for every year we spent out here\n"
       "one for every name we didn't know\n"
       "\n"
       "Light them up, light them up\n"
       "the harbour keeps what we let go",
       Jpeg},
      {"1003", "0c93", "Say \"Hello\" Again", "203", "Static on the Line", 1986, 536457600, 29,
       "The phone rang twice and then it stopped\n"
       "I said \"hello\" to the dial tone\n"
       "Say hello again, say it slow\n"
       "I've been waiting by the radio",
       Gif},
      {"1004", "4d4f", "Salt & Pepper Skies", "204", "Rain & Other Weather", 1997, 867715200, 42,
       "Grey on white, the sky's a shaker\n"
       "salt & pepper over the town\n"
       "you and me and the early baker\n"
       "watching the weather come down",
       Png},
      {"1005", "91aa", "The Longest Road Home Runs Through Every Town We Ever Swore We Would Never See Again",
       "211", "Mile Markers", 1974, 136771200, 45,
       "Forty miles of fence and a borrowed car\n"
       "every town we left still knows who we are\n"
       "the diner sign, the water tower, the church bell out of tune\n"
       "we swore we'd never see them, and we'll see them all by June",
       Jpeg},
      {"1006", "e0d1", "山间小路", "205", "走过的地方", 1978, 262828800, 35,
       "山间小路弯又长\n"
       "溪水唱着旧时光\n"
       "背上行囊慢慢走\n"
       "月亮挂在松树上",
       Gif},
      {"1007", "3f27", "雨后的咖啡馆", "202", "Harbour Lights", 2021, 1617235200, 31,
       "雨停了 窗上还留着水痕\n"
       "你点了一杯不加糖的拿铁\n"
       "Rain on the window, steam on the cup\n"
       "我们说好 今天不谈明天",
       Png},
      {"1008", "7b08", "Neon Drift", "206", "Night Shift Machines", 2016, 1475280000, 24, "", Jpeg},
      {"1009", "c4e5", "海风吹过的夏天", "207", "维港晚风", 1988, 591667200, 40,
       "海风吹过那年的夏天\n"
       "码头的灯 一闪一闪\n"
       "你说过 要等我回来\n"
       "潮水涨了又退 我还在岸边",
       Gif},
      {"1010", "d2b6", "さくら通りの午後", "208", "春のアルバム", 2008, 1207008000, 27,
       "さくら通りの午後\n"
       "風がページをめくる\n"
       "花びら 一枚\n"
       "君の肩に落ちた",
       Png},
      {"1011", "68fe", "Midnight Sonata in Blue", "209", "After Hours", 1959, -315619200, 44,
       "(instrumental intro)\n"
       "Blue notes falling like snow on the keys\n"
       "the bass walks home alone at three\n"
       "the last cup of coffee has gone cold\n"
       "but the night is still young, or so I'm told",
       Jpeg},
      {"1012", "a51d", "星期天的早晨", "201", "城市灯火", 2019, 1561939200, 22,
       "星期天的早晨 阳光很轻\n"
       "楼下的面包店开了门\n"
       "我们不赶时间\n"
       "把日子过成一首慢歌",
       Gif},
      {"1013", "f3c0", "Run the Ridge", "206", "Night Shift Machines", 2016, 1475280000, 30,
       "Feet on the gravel, heart in the sky\n"
       "run the ridge till the sun gets high\n"
       "one more mile, one more climb\n"
       "we're running out of the old time",
       Png},
      {"1014", "2e7a", "서울의 밤", "210", "네온 정원", 2020, 1598918400, 36,
       "서울의 밤 불빛 아래\n"
       "너의 이름을 불러 봐\n"
       "한강 바람이 지나가면\n"
       "우리 노래가 들려와",
       Jpeg},
  };
}

// Every channel of the program's channel list, with the songs it plays.
std::vector<Channel> makeChannels(const std::vector<Song>& songs) {
  std::vector<std::string> all;
  for (const Song& song : songs) all.push_back(song.sid);
  return {
      {"-10", all},
      {"61", {"1012", "1013", "1014", "1002"}},
      {"187", {"1010", "1014", "1006"}},
      {"2", {"1002", "1003", "1004", "1005", "1011"}},
      {"1", {"1001", "1006", "1007", "1009", "1012"}},
      {"3", {"1005", "1006"}},
      {"4", {"1003", "1009"}},
      {"5", {"1001", "1004"}},
      {"6", {"1009", "1007"}},
      {"17", {"1010"}},
      {"18", {"1014"}},
      {"8", {"1006", "1005"}},
      {"7", {"1013", "1003"}},
      {"13", {"1011", "1007"}},
      {"27", {"1011"}},
      {"14", {"1008", "1013"}},
      {"9", {"1008", "1012", "1011"}},
      {"76", {"1007", "1002", "1012"}},
      {"16", {"1004", "1009"}},
      {"10", {"1005", "1008"}},
      {"28", {"1010", "1001"}},
      {"153", {"1008", "1011"}},
      {"151", {"1006", "1013"}},
      {"152", {"1012", "1007"}},
      {"154", {"1013", "1004"}},
      {"155", {"1011", "1002"}},
      {"77", {"1002", "1012", "1004"}},
      {"32", {"1007", "1011"}},
      {"257", {"1013", "1008"}},
  };
}

}  // namespace

Catalogue::Catalogue()
    : songs_(makeSongs()), singers_(makeSingers()), channels_(makeChannels(songs_)) {}

const Song* Catalogue::findSong(std::string_view sid) const {
  for (const Song& song : songs_)
    if (song.sid == sid) return &song;
  return nullptr;
}

const Singer* Catalogue::findSinger(std::string_view id) const {
  for (const Singer& singer : singers_)
    if (singer.id == id) return &singer;
  return nullptr;
}

const Channel* Catalogue::findChannel(std::string_view id) const {
  if (id.empty()) return nullptr;
  for (const Channel& channel : channels_)
    if (channel.id == id) return &channel;
  return nullptr;
}

}  // namespace orvelle::demo
