#pragma once

#include "gui/ClickSequence.h"
#include "gui/IGraphics.h"
#include "gui/RedrawSchedule.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct _XDisplay;
struct _XGC;
struct _XImage;

// The editor in a plain X11 child window, for hosts that hand over a foreign
// X11 parent window and run no toolkit loop of ours (LV2 hosts on GTK, Qt or
// anything else). It talks to the X server over a connection of its own,
// presents the back buffer with XPutImage and turns X events into the
// editor's dispatch calls, as the GTK window does. The host drives it:
// Idle() handles the window's events and runs the redraw timer.
// UI thread (the thread that opened the window) only.
class IGraphicsX11 : public IGraphics {
public:
    IGraphicsX11(IAudioPlugin* plug, int32_t width, int32_t height, int32_t frameRate);
    ~IGraphicsX11() override;

    // parent: an X11 window id on the display named by $DISPLAY, cast to a
    // pointer. Returns the editor's own window id the same way, or null when
    // there is no parent, no display, or the parent is no window (said on
    // standard error). X errors of the editor's own calls never reach the
    // host's error handler (X11ErrorTrap).
    WindowHandle OpenEditorWindow(WindowHandle parent) override;
    void CloseEditorWindow() override;
    WindowHandle GetEditorWindowHandle() override;
    bool PresentToScreen(const IRectangle& area) override;
    void CancelValueEntry() override {}
    // Menus, text entry and dialogs have no X11 form: they answer as if
    // the user had dismissed them. The effect's editor offers none.
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    IPopupMenu* ShowPopupMenu(IPopupMenu& menu, const IRectangle& area) override;
    void OpenTextEntry(IControl* control, const ITextStyle& style, const IRectangle& area, const char* text,
                       IParameter* parameter) override;
    void GetHostDirectory(std::string& out) override;
    void GetModuleDirectory(std::string& out) override;
    void GetDesktopDirectory(std::string& out) override { out.clear(); }
    void ChooseFile(std::string& fileName, int action, std::string& directory, const char* extensions) override;
    bool ChooseColour(IRgbaColor& colour, const char* prompt) override;
    bool OpenWebAddress(const char* address, const char* title, const char* confirmation,
                        const char* errorText) override;
    RasterBitmap* LoadImageResource(int32_t id, const char* fileName) override;

    // Handles the window's pending events, then ticks the redraw timer when
    // a tick is due (trunc(1000 / frame rate) ms apart). False when there is
    // no window, e.g. after the parent destroyed it.
    bool Idle();
    // The redraw timer's work: paints the dirty controls. Returns whether it painted.
    bool TimerTick();
    // Draws at newScale (SetScale) and, with the window open, makes the
    // window that many times the editor's size and draws it at once. True
    // when the scale changed.
    bool SetWindowScale(int32_t newScale);

private:
    struct Events;
    friend struct Events;

    // Puts the area of the back buffer (device pixels) into the window.
    void PutDeviceArea(const IRectangle& area);
    // Converts the area of the back buffer (device pixels) into the image in the window's pixel format.
    void ConvertArea(const IRectangle& area);
    // The image the back buffer is converted into, at the window's size and visual.
    bool MakeImage();
    void FreeImage();
    void SetSizeHints();
    void ReleaseWindow(bool destroyWindow);

    _XDisplay* display = nullptr;
    unsigned long window = 0;       // X window id, 0 none
    unsigned long parentWindow = 0; // X window id of the host's parent
    _XGC* gc = nullptr;
    _XImage* image = nullptr;       // width x height times the scale, in the window's pixel format
    void* windowVisual = nullptr;   // the parent's Visual
    int windowDepth = 0;
    std::vector<uint32_t> imageWords; // the image's pixels, owned here
    bool fastFormat = false;        // image pixels are 0x00RRGGBB words in host order
    bool pointerDown = false;       // a press owns the implicit grab
    bool trackingLeave = false;     // hover asked for the leave notice
    ClickSequence clicks;
    RedrawSchedule schedule;
};
