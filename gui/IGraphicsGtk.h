#pragma once

#include "gui/ClickSequence.h"
#include "gui/EditorWindowLogic.h"
#include "gui/IGraphics.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

typedef struct _GtkWidget GtkWidget;
typedef struct _cairo cairo_t;
struct ResourceModule;

// The editor in a GTK window: a drawing area (in an overlay that also holds
// the text-entry field) added to the parent container, a redraw timer, the
// back buffer presented through the area's draw handler and native events
// turned into the editor's dispatch calls (IGraphicsGtk.cpp); the native
// menus and dialogs (IGraphicsGtkDialogs.cpp). UI thread (the GTK main
// thread) only.
class IGraphicsGtk : public IGraphics {
public:
    const ResourceModule* moduleInstance = nullptr; // images; null: the program's own
    GtkWidget* window = nullptr;                    // the drawing area
    GtkWidget* entryField = nullptr;
    IControl* entryControl = nullptr;
    IParameter* entryParameter = nullptr;
    int32_t entryState = EntryNone;
    std::unique_ptr<std::array<IRgbaColor, 16>> customColours;
    uint32_t processId = 0;
    GtkWidget* parentWindow = nullptr;
    GtkWidget* topLevelWindow = nullptr;
    std::string topLevelClassName;

    IGraphicsGtk(IAudioPlugin* plug, int32_t width, int32_t height, int32_t frameRate);
    ~IGraphicsGtk() override;

    bool PresentToScreen(const IRectangle& area) override;
    void CancelValueEntry() override;
    void ResizeEditor(int32_t w, int32_t h) override;
    bool IsEditorWindowOpen() override;
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    IPopupMenu* ShowPopupMenu(IPopupMenu& menu, const IRectangle& area) override;
    void OpenTextEntry(IControl* control, const ITextStyle& style, const IRectangle& area, const char* text,
                       IParameter* parameter) override;
    void GetHostDirectory(std::string& out) override;
    void GetModuleDirectory(std::string& out) override;
    void GetDesktopDirectory(std::string& out) override;
    void ChooseFile(std::string& fileName, int action, std::string& directory, const char* extensions) override;
    bool ChooseColour(IRgbaColor& colour, const char* prompt) override;
    bool OpenWebAddress(const char* address, const char* title, const char* confirmation,
                        const char* errorText) override;
    // parent: a GtkContainer*. Returns the drawing area, or null.
    WindowHandle OpenEditorWindow(WindowHandle parent) override;
    void CloseEditorWindow() override;
    WindowHandle GetEditorWindowHandle() override;
    void HideCursorForDrag() override;
    void RestoreCursorAfterDrag() override;
    RasterBitmap* LoadImageResource(int32_t id, const char* fileName) override;

    // An editor of this kind, in the shape of the effect's editor factory
    // (SetEditorFactory(&IGraphicsGtk::Create)). UI thread.
    static std::unique_ptr<IGraphics> Create(IAudioPlugin* plug, int width, int height, int frameRate);

    // The top-level GtkWindow holding the editor (cached), or null.
    GtkWidget* FindTopLevelWindow();

    // Editor windows open in this process (destroying a parent does not count down).
    static int OpenWindowCount();
    // The redraw timer's work, also callable by tests: commits or cancels an
    // open entry, else paints the dirty controls. Returns whether it painted.
    bool TimerTick();
    // Draws at the drawing area's scale factor (GDK_SCALE, the monitor's
    // scale); the area calls it when the factor changes.
    void FollowScaleFactor();
    // How many times the back buffer was presented (asked onto the screen).
    int PresentCount() const { return presentCount; }

private:
    struct Handlers;
    friend struct Handlers;

    // Points slot at widget and clears it by itself when the widget is
    // finalized, so cached parents and top-level windows never dangle.
    static void SetWeakWidget(GtkWidget*& slot, GtkWidget* widget);

    bool FieldIsEditing() const { return EntryFieldIsEditing(entryField != nullptr, entryState); }
    void CloseEntryField();
    void CommitEntryField();
    void DestroyedByParent();
    int MessageBoxOn(GtkWidget* owner, const char* text, const char* caption, int type);

    GtkWidget* overlay = nullptr;  // the widget added to the parent
    unsigned int timerSource = 0;  // g_timeout_add id, 0 none
    bool pointerDown = false;      // a press owns the implicit grab
    bool trackingLeave = false;    // hover asked for the leave notice
    WheelAccumulator wheel;
    ClickSequence clicks;          // tells double clicks among the presses
    int presentCount = 0;
};
