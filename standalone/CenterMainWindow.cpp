#include "standalone/CenterMainWindow.h"

#include "effect/EditorLayout.h"

MainWindowPlacement CenterMainWindow(int screenWidth, int screenHeight, int windowWidth, int windowHeight,
                                     int clientWidth, int clientHeight)
{
    MainWindowPlacement placement;
    placement.left = screenWidth / 2 - kEditorWidth / 2;
    placement.top = screenHeight / 2 - kEditorHeight / 2;
    placement.width = (windowWidth - clientWidth) + kEditorWidth;
    placement.height = (windowHeight - clientHeight) + kEditorHeight;
    return placement;
}
