#pragma once

class IMainWindowActions;

// Command numbers of the main window's menu.
enum MainWindowCommand {
    kCommandAbout = 40005,
    kCommandPreferences = 40006,
    kCommandQuit = 40007,
};

// The main window has been built: opens the editor in it ("couldn't attach
// gui\n" on standard output when that fails), then centres and shows it.
// UI thread only.
void MainWindowInitialised(IMainWindowActions& actions);
// One menu command; unknown numbers do nothing. UI thread only.
void MainWindowCommandChosen(int command, IMainWindowActions& actions);
// The window's close box: ends the program as Quit does. UI thread only.
void MainWindowCloseRequested(IMainWindowActions& actions);
