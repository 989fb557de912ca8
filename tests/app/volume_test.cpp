// Volume and mute: the slider's range from the player, muting and unmuting, the slider shown
// on hover.

#include "app_test_support.h"

#include "../support/recording_player.h"

namespace orvelle::test {
namespace {

TEST_F(OrvelleTest, MuteAndUnmuteWithTheSlider) {
  Start(kOneSongChannel);
  TscTrackBar* slider = main_window->volumeSlider;
  ASSERT_EQ(player->Volume(), 100);
  EXPECT_EQ(slider->MinValue(), 0);
  EXPECT_EQ(slider->MaxValue(), 200);
  EXPECT_EQ(Images(main_window->muteButton), (ImagePair{2, 1}));

  Enter(main_window->muteButton);
  EXPECT_TRUE(slider->isVisible());
  EXPECT_EQ(slider->Value(), 100);

  Click(main_window->muteButton);  // mute
  EXPECT_TRUE(state().muted);
  EXPECT_EQ(state().saved_volume, 100);
  EXPECT_EQ(player->Volume(), 0);
  EXPECT_EQ(slider->Value(), 0);
  EXPECT_FALSE(slider->isVisible());
  EXPECT_EQ(Images(main_window->muteButton), (ImagePair{1, 2}));
  EXPECT_TRUE(Focused(main_window->focusSink));

  Enter(main_window->muteButton);  // shown at 0 while muted
  EXPECT_TRUE(slider->isVisible());
  EXPECT_EQ(slider->Value(), 0);
  slider->SetValue(150);  // dragged beyond 100 while muted: the volume amplifies, still muted
  EXPECT_EQ(player->Volume(), 150);
  EXPECT_TRUE(state().muted);
  EXPECT_EQ(Images(main_window->muteButton), (ImagePair{1, 2}));
  Leave(slider);
  EXPECT_FALSE(slider->isVisible());

  Click(main_window->muteButton);  // unmute: back to the volume from before muting, not the dragged one
  EXPECT_FALSE(state().muted);
  EXPECT_EQ(player->Volume(), 100);
  EXPECT_EQ(slider->Value(), 100);
  EXPECT_FALSE(slider->isVisible());
  EXPECT_EQ(Images(main_window->muteButton), (ImagePair{3, 0}));
}

TEST_F(OrvelleTest, TheSliderRunsToThePlayersStartVolumePlusOneHundred) {
  RecordingPlayer* recording = nullptr;
  Create([&] {
    auto made = std::make_unique<RecordingPlayer>(50);
    recording = made.get();
    return std::unique_ptr<MediaPlayer>(std::move(made));
  });
  main_window->SetVisible(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return state().audio_playing; }, 20000));
  EXPECT_EQ(main_window->volumeSlider->MaxValue(), 150);
  recording->ClearCalls();
  main_window->volumeSlider->SetValue(140);
  EXPECT_EQ(recording->Calls(), QStringList({"SetVolume 140"}));
}

}  // namespace
}  // namespace orvelle::test
