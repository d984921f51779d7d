#pragma once

// Where the main window goes: its outer top-left corner and outer size.
struct MainWindowPlacement {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Puts the window's outer top-left corner half the editor's size (655 x 175)
// left of and above the screen's centre and sizes it so that its client area
// is exactly the editor. Any thread; pure arithmetic.
MainWindowPlacement CenterMainWindow(int screenWidth, int screenHeight, int windowWidth, int windowHeight,
                                     int clientWidth, int clientHeight);
