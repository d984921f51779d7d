#pragma once

#include "gui/EditorKey.h"

#include <cstdint>
#include <string>

class IControl;
class IParameter;

// The decisions of the editor window that need no display: entry states,
// wheel arithmetic, key mapping, typed-value parsing, character filtering and
// small text rules. The window unit only translates native events into these.
// All functions: UI thread; plain computations, no system calls.

// State of the text-entry field.
enum ValueEntryState : int32_t {
    EntryNone = 0,
    EntryEditing = 1, // the field has the keyboard focus
    EntryUpdate = 2,  // a redraw happened while the field was open
    EntryCancel = 3,  // close the field, drop the text
    EntryCommit = 4,  // close the field, apply the text
};

// What the redraw timer does with an open field.
enum class EntryTickAction {
    CheckRedraw, // no field or state 0: look for dirty controls
    Ignore,      // the field is being edited: the timer leaves everything alone
    Commit,      // apply the typed text, then close the field
    Cancel,      // close the field without applying
    ResetState,  // state back to 0, nothing else this tick
};
EntryTickAction DecideEntryTick(bool fieldOpen, int32_t entryState);

// While an open field is being edited it holds the editor's input: a button
// press in the editor only cancels the entry and reaches no control, and
// releases, motion, crossings and keys are left to the field.
bool EntryFieldIsEditing(bool fieldOpen, int32_t entryState);

// Redraw timer period in milliseconds: trunc(1000 / frame rate); 0 or less
// gives no timer (the caller treats it as "no redraw checks").
int RedrawPeriodMs(int32_t frameRate);

// One wheel notch is 120 units. Discrete steps give 120 units each; smooth
// scrolling adds up fractional deltas until whole notches are complete.
class WheelAccumulator {
public:
    static constexpr int kUnitsPerNotch = 120;

    // Steps of a wheel message carrying delta units: truncated toward zero.
    static int StepsFromUnits(int units) { return units / kUnitsPerNotch; }

    // Smooth scroll: dy is the native delta (positive = away from the user's
    // "up", i.e. downward), one unit of dy being one notch. Returns the whole
    // notches completed (up positive), keeping the remainder for later.
    int AddSmoothDelta(double dy);
    void Reset() { pendingUnits = 0.0; }
    double PendingUnits() const { return pendingUnits; }

private:
    double pendingUnits = 0.0;
};

// Maps a keyval taken without modifiers (X keysym values: space, the four
// arrows, "0".."9", "a".."z" or "A".."Z") to an EditorKey; anything else,
// the keypad included, is KeyNone and goes on to the top-level window.
EditorKey EditorKeyFromKeyval(uint32_t keyval);

// The key of a hardware key from the symbols of its first two levels: the
// plain symbol as above, or else a digit on the shifted level, where layouts
// such as AZERTY keep the top row's digits (its "1" key gives "&" plain).
EditorKey EditorKeyFromLevels(uint32_t plainKeyval, uint32_t shiftedKeyval);

// Plain value of a committed text for the parameter: choices and toggles
// match the display texts exactly (0 when none does), every other type reads
// a decimal number (0 when there is none), sign-inverted for negateDisplay.
double ParseEnteredValue(const char* text, const IParameter& parameter);

// Applies a committed entry text to its control, as the window's timer does:
// cut to kEntryTextLimit bytes, then with a parameter read by
// ParseEnteredValue and given as TakeEnteredValue of its normalized value,
// without one given as TakeEnteredText.
void CommitEnteredText(IControl& control, IParameter* parameter, const char* text);

// Whether a typed character may reach the field. Backspace always passes;
// integer-like types (1..3) take signs and digits, continuous also ".",
// other types and fields without a parameter take everything.
bool AcceptEntryCharacter(uint32_t character, const IParameter* parameter);

// The typed text is read back at most this many bytes long (plus the NUL).
constexpr int kEntryTextLimit = 31;
// Cuts text to kEntryTextLimit bytes without splitting a UTF-8 sequence.
std::string LimitEntryText(const char* text);

// The directory part of a path including its last '/', or empty when the
// path is empty or has no '/' before its last character.
std::string DirectoryOfPath(const std::string& path);

// File-dialog filter from an extension list ("png jpg"): "*.png;*.jpg" and
// the default extension "png". False (both empty) for an empty list or when
// the pattern would exceed 126 characters or the first extension 15.
bool BuildFileFilter(const char* extensions, std::string& pattern, std::string& defaultExtension);

// Message box types and results (the Win32 values effects pass and expect).
enum MessageBoxValues : int {
    MessageBoxOk = 0,
    MessageBoxOkCancel = 1,
    MessageBoxYesNoCancel = 3,
    MessageBoxYesNo = 4,
    ResultOk = 1,
    ResultCancel = 2,
    ResultYes = 6,
    ResultNo = 7,
};
// The button set of a type (low nibble; unknown sets fall back to OK).
int MessageBoxButtonSet(int type);
// Result for a closed box of that type: the chosen button's value; closing
// the box without a button gives Cancel where there is one, else No or OK.
enum class MessageBoxChoice { Ok, Cancel, Yes, No, Closed };
int MessageBoxResult(int type, MessageBoxChoice choice);
