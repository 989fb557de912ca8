// The recording player that window and loader tests use in place of the real one.
#include "../support/recording_player.h"

#include <gtest/gtest.h>

namespace orvelle {
namespace {

TEST(RecordingPlayer, RecordsEveryCallInOrderAndFailsTheNamedOperation) {
  test::RecordingPlayer player(50);
  MediaPlayer& media = player;
  media.SetURL(QStringLiteral("http://127.0.0.1:1/audio/1001.wav"));
  media.Play();
  EXPECT_EQ(media.Volume(), 50);
  media.SetVolume(150);
  EXPECT_EQ(media.Volume(), 150);
  media.Pause();
  media.Stop();
  EXPECT_EQ(player.Calls(), QStringList({"SetURL http://127.0.0.1:1/audio/1001.wav", "Play", "Volume -> 50",
                                         "SetVolume 150", "Volume -> 150", "Pause", "Stop"}));

  player.ClearCalls();
  player.FailOn(QStringLiteral("Play"), QStringLiteral("The media player could not play: no sound"));
  EXPECT_THROW(media.Play(), Error);
  media.Pause();
  player.FailOn(QString());
  media.Play();
  EXPECT_EQ(player.Calls(), QStringList({"Play", "Pause", "Play"}));
}

}  // namespace
}  // namespace orvelle
