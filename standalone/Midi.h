#pragma once

#include "standalone/MidiOutputPort.h"

#include <rtmidi/RtMidi.h>

#include <memory>
#include <string>
#include <vector>

class IAudioPlugin;

// The host's MIDI: one input object and one output object, ports chosen by
// the names in currentSettings ("off" = no port). Incoming short messages are
// filtered by midiInputChannel and handed to the plug-in, whose default
// ReceiveMidiMessage sends them on to the output port.
//
// A stored port that is absent stays chosen: it opens as soon as it appears.
// Under JACK MIDI the objects live and die with the server: when it goes they
// are retired without being touched, and when it returns new ones are made
// and the stored ports reopened (PollMidi does both).

// None until CreateMidiPorts succeeds for them; midiInput is also none while
// a JACK server is away. midiOutput, once made, stays the same object for the
// whole run (the plug-in holds it); its back end comes and goes with the
// server. UI thread only.
extern std::unique_ptr<RtMidiIn> midiInput;
extern std::unique_ptr<MidiOutputPort> midiOutput;
// "off", then every port name in port order; ListMidiPorts fills them afresh.
// UI thread only.
extern std::vector<std::string> midiInputNames;
extern std::vector<std::string> midiOutputNames;

// What became of a chosen port.
enum class MidiPortState : uint8_t {
    Off,     // "off" is chosen
    Open,    // the named port is open
    Absent,  // no port of that name now; opens when one appears
    Failed,  // the back end refused to open it (said on standard error)
    NoMidi,  // no MIDI object (no back end, or its JACK server is away)
};
// The state of both chosen ports and of the back end, for the status line.
struct MidiStatus {
    MidiPortState input = MidiPortState::NoMidi;
    MidiPortState output = MidiPortState::NoMidi;
    bool serverAway = false;    // JACK MIDI whose server is not running
};
// UI thread only.
MidiStatus CurrentMidiStatus();

// Creates the input object, then the output object on the same back end,
// both under the client name "Snarlbox". firstApi is tried first;
// when it cannot be opened, standard error says so and fallbackApi is used.
// Errors are printed; false (callback not installed) when either object is
// missing. On success installs MidiInputCallback and ignores SysEx, timing
// and active sensing. UI thread only, before the plug-in is created.
bool CreateMidiPorts(RtMidi::Api firstApi = RtMidi::LINUX_ALSA, RtMidi::Api fallbackApi = RtMidi::UNIX_JACK);
// Fills both lists afresh with "off" and the live port names, when both
// objects exist (empties them otherwise). UI thread only.
void ListMidiPorts();
// 0 for "off", port number + 1 for a live port of exactly that name, -1
// otherwise. UI thread only.
int FindMidiInputPort(const char* name);
int FindMidiOutputPort(const char* name);
// Closes the current port and opens the named one ("off": none). A name that
// matches no port now stays in currentSettings and opens when it appears;
// only the reader's "no input"/"no output" (a key missing from the file)
// becomes "off", and that one key is written. False when the object is
// missing or the back end refuses the port (printed). UI thread only.
bool OpenMidiInputByName(const char* name);
bool OpenMidiOutputByName(const char* name);

// The user-interface thread's periodic look (every half second): opens
// stored ports that have appeared, retires JACK MIDI objects whose server
// went away and makes new ones when it is back, and traces what the input
// callback could not trace on its thread. Returns true when a port's state
// changed. UI thread only.
bool PollMidi();

// The plug-in the input callback feeds; null drops input. Setting another
// (or null) waits until no callback is inside the old one, so it may be
// destroyed afterwards. UI thread only.
void SetMidiPlugin(IAudioPlugin* plugin);
// RtMidi's input callback: turns 1 to 3 bytes into a MidiMessage, applies the
// input channel filter and calls ReceiveMidiMessage without the plug-in lock.
// Other lengths are dropped and traced later by PollMidi.
// MIDI input thread (JACK's process thread under JACK MIDI): no lock, no
// allocation, no output.
void MidiInputCallback(double timeStamp, std::vector<unsigned char>* message, void* userData);

// At exit, before the plug-in is destroyed: cancels the callback and closes
// both ports (objects of a server that went away are not touched). UI thread only.
void CloseMidiPorts();
// After the plug-in is destroyed: closes (if still open) and deletes both
// objects and empties the name lists. UI thread only.
void DeleteMidiPorts();
