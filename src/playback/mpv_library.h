#pragma once

#include <mpv/client.h>

namespace orvelle {

// libmpv, loaded at run time instead of linked. Its libraries (some two hundred, FFmpeg's among
// them) take longer to load than the whole window takes to appear, and nothing needs the player
// before the first song is ready to play: the program starts loading it once its window is on
// its way, on a thread of its own, and the player waits for it on first use.
struct MpvLibrary {
  decltype(&mpv_create) create;
  decltype(&mpv_initialize) initialize;
  decltype(&mpv_terminate_destroy) terminate_destroy;
  decltype(&mpv_set_option_string) set_option_string;
  decltype(&mpv_set_property) set_property;
  decltype(&mpv_get_property) get_property;
  decltype(&mpv_command) command;
  decltype(&mpv_wait_event) wait_event;
  decltype(&mpv_set_wakeup_callback) set_wakeup_callback;
  decltype(&mpv_request_event) request_event;
  decltype(&mpv_request_log_messages) request_log_messages;
  decltype(&mpv_error_string) error_string;

  // Starts loading the library on a thread of its own, once; later calls do nothing.
  static void StartLoading();
  // The library's entry points, waiting for the load (and starting it when nothing did); throws
  // orvelle::Error "The media player could not be created" when it cannot be loaded, every time.
  static const MpvLibrary& Get();
};

}  // namespace orvelle
