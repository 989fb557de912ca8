#include "radio/play_state.h"

namespace orvelle {

PlayState& ProgramPlayState() {
  static PlayState state;
  return state;
}

}  // namespace orvelle
