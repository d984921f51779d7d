#include "standalone/HostSettings.h"

constinit AppSettings currentSettings;
constinit AppSettings backupSettings;
constinit AppSettings streamSettings;
char settingsPath[kSettingsPathSize] = {};

bool AudioSettingsEqual() { return AudioSettingsEqual(currentSettings, backupSettings); }
bool MidiSettingsEqual() { return MidiSettingsEqual(currentSettings, backupSettings); }
