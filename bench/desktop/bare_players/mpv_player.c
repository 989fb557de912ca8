/* The least a libmpv program does to play one address: the program's own player settings (no
 * video, no scripts), the address opened and played for the given seconds. The audio stack's own
 * floor of CPU and memory, measured by audio_stacks. */
#include <mpv/client.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s ADDRESS SECONDS\n", argv[0]);
    return 2;
  }
  mpv_handle* handle = mpv_create();
  if (!handle) return 1;
  const char* options[][2] = {{"vid", "no"}, {"load-scripts", "no"}, {"osc", "no"}, {"load-stats-overlay", "no"},
                              {"load-osd-console", "no"}, {"load-auto-profiles", "no"}, {"ytdl", "no"}};
  for (size_t i = 0; i < sizeof options / sizeof options[0]; ++i) mpv_set_option_string(handle, options[i][0], options[i][1]);
  if (mpv_initialize(handle) < 0) return 1;
  const char* command[] = {"loadfile", argv[1], NULL};
  if (mpv_command(handle, command) < 0) return 1;
  for (int tenth = 0; tenth < atoi(argv[2]) * 10; ++tenth) {
    usleep(100000);
    while (mpv_wait_event(handle, 0)->event_id != MPV_EVENT_NONE) {
    }
  }
  mpv_terminate_destroy(handle);
  return 0;
}
