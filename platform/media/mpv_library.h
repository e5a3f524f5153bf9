// The playback engine's library, loaded when it is first needed instead of when the program
// starts.
//
// libmpv brings some two hundred further libraries (codecs, filters, fonts, sound servers).
// Linked into the program, the dynamic loader would map and relocate every one of them before
// main() runs, which was most of the time the program took to show its main window. Loaded here,
// they cost nothing until the first movie, and PreloadMpvLibrary() loads them in the background
// once the window is up, so that the first movie does not wait for them either.
//
// Only the engine's types and constants come from its headers; every call goes through MpvApi.
#pragma once

#include <mpv/client.h>
#include <mpv/render.h>

namespace cinevo::platform {

#define CINEVO_MPV_FUNCTIONS(X)                                                              \
  X(mpv_client_api_version)                                                                  \
  X(mpv_create) X(mpv_initialize) X(mpv_terminate_destroy) X(mpv_set_option_string)          \
  X(mpv_command) X(mpv_command_async) X(mpv_set_property_async) X(mpv_get_property)          \
  X(mpv_free_node_contents) X(mpv_observe_property) X(mpv_wait_event) X(mpv_set_wakeup_callback) \
  X(mpv_render_context_create) X(mpv_render_context_free)                                    \
  X(mpv_render_context_set_update_callback) X(mpv_render_context_update)                     \
  X(mpv_render_context_render)

// The engine's functions, each named as in its headers.
struct MpvApi {
#define CINEVO_MPV_POINTER(name) decltype(&::name) name = nullptr;
  CINEVO_MPV_FUNCTIONS(CINEVO_MPV_POINTER)
#undef CINEVO_MPV_POINTER
};

// The engine's functions, the library loaded on the first call (from any thread; a caller that
// comes while another thread loads it waits for that load). Null when the library cannot be
// loaded or lacks one of the functions; every later call then gives null at once.
const MpvApi* MpvLibrary();

// The functions of the library already loaded: only for code that holds an engine, which could
// not have been made without it.
const MpvApi& LoadedMpv();

// Loads the library on a helper thread after `delay_ms`, unless it is loaded by then; returns at
// once. Only the first call counts. The thread is joined when the program ends.
void PreloadMpvLibrary(int delay_ms);

}  // namespace cinevo::platform
