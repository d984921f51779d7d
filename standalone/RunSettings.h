#pragma once

#include "standalone/AppSettings.h"
#include "standalone/RunOptions.h"

// Settings the command line gave for this run only. They go into the live
// record; settings.ini keeps what was chosen before, unless the user picks
// another value in Preferences, which is then a choice of their own and
// is kept.

// Puts the options' values into settings (read from settings.ini just
// before) and remembers what the file had. Under JACK the input device
// follows the output device. UI thread only.
void ApplyRunOptions(const RunOptions& options, AppSettings& settings);
// What the file is to hold for current: every field the options set and
// that still has the option's value takes the file's value instead. A field
// the user changed since is kept, and no longer counts as the run's.
// UI thread only.
AppSettings SettingsForFile(const AppSettings& current);
// Forgets the run's values (tests). UI thread only.
void ForgetRunOptions();
