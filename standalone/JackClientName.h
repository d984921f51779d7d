#pragma once

#include <string>

// The name this run's JACK client (and its MIDI clients) go by: "Snarlbox"
// unless the command line or a session names it.
// Set on the UI thread before the audio or MIDI back end is created; read by
// the engine's control thread when it opens a stream (not while it changes).
void SetJackClientName(const std::string& name);
const std::string& JackClientName();
