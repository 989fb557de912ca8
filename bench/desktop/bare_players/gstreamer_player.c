/* The least a GStreamer program does to play one address: playbin with its audio only, the
 * desktop's default audio sink, the address played for the given seconds. The audio stack's own
 * floor of CPU and memory, measured by audio_stacks. */
#include <gst/gst.h>

#include <stdio.h>
#include <stdlib.h>

static gboolean quit(gpointer loop) {
  g_main_loop_quit(loop);
  return G_SOURCE_REMOVE;
}

int main(int argc, char** argv) {
  gst_init(&argc, &argv);
  if (argc != 3) {
    fprintf(stderr, "usage: %s ADDRESS SECONDS\n", argv[0]);
    return 2;
  }
  GstElement* playbin = gst_element_factory_make("playbin", NULL);
  if (!playbin) return 1;
  g_object_set(playbin, "uri", argv[1], "flags", 0x2 /* audio only */, NULL);
  if (gst_element_set_state(playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) return 1;
  GMainLoop* loop = g_main_loop_new(NULL, FALSE);
  g_timeout_add_seconds((guint)atoi(argv[2]), quit, loop);
  g_main_loop_run(loop);
  gst_element_set_state(playbin, GST_STATE_NULL);
  gst_object_unref(playbin);
  g_main_loop_unref(loop);
  return 0;
}
