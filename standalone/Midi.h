#pragma once

#include "standalone/MidiOutputPort.h"

#include <rtmidi/RtMidi.h>

#include <memory>
#include <string>
#include <vector>

class IAudioPlugin;

// The host's MIDI: one input object and one output object for the whole run,
// ports chosen by the names in currentSettings ("off" = no port). Incoming
// short messages are filtered by midiInputChannel and handed to the plug-in,
// whose default ReceiveMidiMessage sends them on to the output port.

// None until CreateMidiPorts succeeds for them. UI thread only.
extern std::unique_ptr<RtMidiIn> midiInput;
extern std::unique_ptr<MidiOutputPort> midiOutput;
// "off", then every port name in port order; filled once by ListMidiPorts.
// UI thread only.
extern std::vector<std::string> midiInputNames;
extern std::vector<std::string> midiOutputNames;

// Creates the input object ("RtMidi Input Client"), then the output object
// ("RtMidi Output Client") on the same back end. firstApi is tried first;
// when it cannot be opened, standard error says so and fallbackApi is used.
// Errors are printed; false (callback not installed) when either object is
// missing. On success installs MidiInputCallback and ignores SysEx, timing
// and active sensing. UI thread only, before the plug-in is created.
bool CreateMidiPorts(RtMidi::Api firstApi = RtMidi::LINUX_ALSA, RtMidi::Api fallbackApi = RtMidi::UNIX_JACK);
// Appends "off" and the live port names to both lists, when both objects
// exist. UI thread only.
void ListMidiPorts();
// 0 for "off", port number + 1 for a live port of exactly that name, -1
// otherwise. UI thread only.
int FindMidiInputPort(const char* name);
int FindMidiOutputPort(const char* name);
// Closes the current port and opens the named one ("off": none). A name that
// matches no port stores "off" in currentSettings and writes the settings
// file. False when the object is missing or RtMidi refuses the port (printed).
// UI thread only.
bool OpenMidiInputByName(const char* name);
bool OpenMidiOutputByName(const char* name);

// The plug-in the input callback feeds; null drops input. Set it after the
// plug-in is created and clear it before the plug-in is destroyed.
// UI thread only.
void SetMidiPlugin(IAudioPlugin* plugin);
// RtMidi's input callback: turns 1 to 3 bytes into a MidiMessage, applies the
// input channel filter and calls ReceiveMidiMessage without the plug-in lock.
// MIDI input thread; takes no lock of ours.
void MidiInputCallback(double timeStamp, std::vector<unsigned char>* message, void* userData);

// At exit, before the plug-in is destroyed: cancels the callback and closes
// both ports. UI thread only.
void CloseMidiPorts();
// After the plug-in is destroyed: closes (if still open) and deletes both
// objects and empties the name lists. UI thread only.
void DeleteMidiPorts();
