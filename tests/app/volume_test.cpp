// Volume and mute: the slider's range from the player, muting and unmuting, the slider shown
// on hover.

#include "app_test_support.h"

#include "../support/recording_player.h"

namespace orvelle::test {
namespace {

TEST_F(OrvelleTest, MuteAndUnmuteWithTheSlider) {
  Start(kOneSongChannel);
  TscTrackBar* slider = form1->sctrckbr1;
  ASSERT_EQ(player->Volume(), 100);
  EXPECT_EQ(slider->MinValue(), 0);
  EXPECT_EQ(slider->MaxValue(), 200);
  EXPECT_EQ(Images(form1->btn5), (ImagePair{2, 1}));

  Enter(form1->btn5);
  EXPECT_TRUE(slider->isVisible());
  EXPECT_EQ(slider->Value(), 100);

  Click(form1->btn5);  // mute
  EXPECT_TRUE(state.IsMuted);
  EXPECT_EQ(state.SavedVolume, 100);
  EXPECT_EQ(player->Volume(), 0);
  EXPECT_EQ(slider->Value(), 0);
  EXPECT_FALSE(slider->isVisible());
  EXPECT_EQ(Images(form1->btn5), (ImagePair{1, 2}));
  EXPECT_TRUE(Focused(form1->btn6));

  Enter(form1->btn5);  // shown at 0 while muted
  EXPECT_TRUE(slider->isVisible());
  EXPECT_EQ(slider->Value(), 0);
  slider->SetValue(150);  // dragged beyond 100 while muted: the volume amplifies, still muted
  EXPECT_EQ(player->Volume(), 150);
  EXPECT_TRUE(state.IsMuted);
  EXPECT_EQ(Images(form1->btn5), (ImagePair{1, 2}));
  Leave(slider);
  EXPECT_FALSE(slider->isVisible());

  Click(form1->btn5);  // unmute: back to the volume from before muting, not the dragged one
  EXPECT_FALSE(state.IsMuted);
  EXPECT_EQ(player->Volume(), 100);
  EXPECT_EQ(slider->Value(), 100);
  EXPECT_FALSE(slider->isVisible());
  EXPECT_EQ(Images(form1->btn5), (ImagePair{3, 0}));
}

TEST_F(OrvelleTest, TheSliderRunsToThePlayersStartVolumePlusOneHundred) {
  RecordingPlayer* recording = nullptr;
  Create([&] {
    auto made = std::make_unique<RecordingPlayer>(50);
    recording = made.get();
    return std::unique_ptr<MediaPlayer>(std::move(made));
  });
  form1->SetVisible(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return state.IsPlaying == 1; }, 20000));
  EXPECT_EQ(form1->sctrckbr1->MaxValue(), 150);
  recording->ClearCalls();
  form1->sctrckbr1->SetValue(140);
  EXPECT_EQ(recording->Calls(), QStringList({"SetVolume 140"}));
}

}  // namespace
}  // namespace orvelle::test
