#include "standalone/MainWindowProc.h"

#include "platform/WriteWithoutBlocking.h"
#include "standalone/IMainWindowActions.h"


void MainWindowInitialised(IMainWindowActions& actions)
{
    if (actions.OpenEditorWindow()) {
        actions.EditorWindowOpened();
    } else {
        WriteWithoutBlocking(1, "couldn't attach gui\n");
    }
    actions.CenterAndShow();
}

void MainWindowCommandChosen(int command, IMainWindowActions& actions)
{
    switch (command) {
    case kCommandAbout:
        if (!actions.ShowOwnAboutBox()) {
            actions.ShowMessageBox("Brimvale LLC\nBuilt on Jul 24 2015", "Snarlbox");
        }
        break;
    case kCommandPreferences:
        // Only OK persists; Cancel has already put the old settings back.
        if (actions.RunPreferences() == 1) {
            actions.WriteSettings();
        }
        break;
    case kCommandQuit:
        actions.DestroyMainWindow();
        break;
    default:
        break;
    }
}

void MainWindowCloseRequested(IMainWindowActions& actions)
{
    actions.DestroyMainWindow();
}
