#pragma once

#include "core/IPluginEditor.h"
#include "gui/IBitmapStrip.h"
#include "gui/IBlendSpec.h"
#include "gui/IControl.h"
#include "gui/IRectangle.h"
#include "gui/IRgbaColor.h"
#include "gui/ITextStyle.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IAudioPlugin;
class IParameter;
class IPopupMenu;
class RasterBitmap;
class RasterCachedFont;
class RasterSysBitmap;

// The plug-in's editor, independent of the window system: owns its controls
// (index 0 is the background), draws the dirty ones into a back buffer and
// routes events to them. UI thread only, unless a declaration says otherwise.
// The plug-in base reaches it through IPluginEditor.
class IGraphics : public IPluginEditor {
public:
    std::vector<std::unique_ptr<IControl>> controls;
    IAudioPlugin* plug;
    IRectangle drawArea;
    bool cursorHidden = false;
    int32_t savedCursorX = -1; // screen pixels
    int32_t savedCursorY = -1;
    std::unique_ptr<RasterSysBitmap> backBuffer;
    int32_t width;     // pixels
    int32_t height;    // pixels
    int32_t frameRate; // redraw checks per second
    int32_t captureIndex = -1;
    int32_t hoverIndex = -1;
    int32_t mouseX = 0;
    int32_t mouseY = 0;
    bool hoverEnabled = false;
    bool strictDrawing = true;
    std::unique_ptr<IControl> keyCatcher;
    int32_t scale = 1; // device pixels per editor pixel, 1..kMaxEditorScale

    IGraphics(IAudioPlugin* plug, int32_t width, int32_t height, int32_t frameRate);

    // Slot order of the editor interface; "window" slots are the platform's.
    virtual bool PresentToScreen(const IRectangle& area) = 0;                         // 0 window
    virtual bool MeasureText(ITextStyle& style, const char* text, IRectangle& area); // 1
    virtual void CancelValueEntry() = 0;                                               // 2 window
    virtual void ResizeEditor(int32_t w, int32_t h);                                   // 3
    virtual bool IsEditorWindowOpen();                                                 // 4
    virtual const char* PlatformLabel();                                               // 5
    virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;   // 6 window
    virtual IPopupMenu* ShowPopupMenu(IPopupMenu& menu, const IRectangle& area) = 0;   // 7 window
    virtual void OpenTextEntry(IControl* control, const ITextStyle& style, const IRectangle& area,
                               const char* text, IParameter* parameter) = 0;           // 8 window
    virtual void GetHostDirectory(std::string& out) = 0;                               // 9 window
    virtual void GetModuleDirectory(std::string& out) = 0;                             // 10 window
    virtual void GetDesktopDirectory(std::string& out) = 0;                            // 11 window
    virtual void ChooseFile(std::string& fileName, int action, std::string& directory,
                            const char* extensions) = 0;                               // 12 window
    virtual bool ChooseColour(IRgbaColor& colour, const char* prompt) = 0;             // 13 window
    virtual bool OpenWebAddress(const char* address, const char* title, const char* confirmation,
                                const char* errorText) = 0;                            // 14 window
    virtual void* NativeView();                                                        // 15
    WindowHandle OpenEditorWindow(WindowHandle parent) override = 0;                  // 16 window
    virtual void ReservedHookA();                                                      // 17
    virtual void ReservedHookB();                                                      // 18
    void CloseEditorWindow() override = 0;                                             // 19 window
    virtual WindowHandle GetEditorWindowHandle() = 0;                                  // 20 window
    ~IGraphics() override;                                                             // 21
    virtual void HideCursorForDrag();                                                  // 22
    virtual void RestoreCursorAfterDrag();                                             // 23
    virtual RasterBitmap* LoadImageResource(int32_t id, const char* fileName) = 0;     // 24 window

    // Layout (the effect's constructor).
    IControl* SetBackgroundImage(int32_t id, const char* fileName);
    IBitmapStrip LoadBitmapStrip(int32_t id, const char* fileName, int32_t frameCount);
    int AddControl(std::unique_ptr<IControl> control);

    // Draws from now on at newScale device pixels per editor pixel (clamped
    // to 1..kMaxEditorScale): every loaded strip from its image drawn at that
    // scale, text at that many times its size, into a back buffer that many
    // times the editor's size. Layout, control rectangles and the mouse stay
    // in editor pixels. Every control is drawn again on the next paint; the
    // images of the former scale are let go. False, said on standard error
    // and with nothing changed, when an image is missing at that scale. UI thread.
    bool SetScale(int32_t newScale);
    // The image of a loaded resource at the current scale, or null. UI thread.
    RasterBitmap* ShownImage(int32_t id) const;

    // From the plug-in base.
    void TakePlugValue(int paramIndex, double normalized) override;
    void CreateBackingBitmaps() override;
    void ShowParameterValue(int paramIndex, double value, bool isNormalized) override;

    // From the editor window.
    bool GatherDirtyArea(IRectangle& area);
    bool PaintDirtyControls(const IRectangle& area);
    void DispatchMousePress(int x, int y, const IMouseKeys& keys);
    void DispatchMouseRelease(int x, int y, const IMouseKeys& keys);
    bool DispatchDoubleClick(int x, int y, const IMouseKeys& keys);
    bool DispatchMouseHover(int x, int y, const IMouseKeys& keys);
    void DispatchMouseDrag(int x, int y, const IMouseKeys& keys);
    void DispatchWheel(int x, int y, const IMouseKeys& keys, int steps);
    bool DispatchKey(int x, int y, EditorKey key);
    void DispatchMouseLeave();

    // From controls.
    bool BlitStripFrame(const IBitmapStrip& strip, const IRectangle& r, int frame, const IBlendSpec* blend);
    bool BlitStripRegion(const IBitmapStrip& strip, const IRectangle& r, int sx, int sy, const IBlendSpec* blend);
    // Draws or measures text in the style's font, found once and kept in the
    // style's cachedFont. Fonts are shared process-wide; this may run on any
    // thread that owns this editor.
    bool DrawTextInRect(ITextStyle& style, const char* text, IRectangle& r, bool measureOnly);
    RasterCachedFont* GetCachedFont(ITextStyle& style);
    void PromptParameterValue(IControl* control, IParameter* parameter, const IRectangle& area);

protected:
    // Index of the topmost control that is neither hidden nor greyed under (x, y), or -1.
    int HitControl(int x, int y);

private:
    // A resource the editor's strips draw, and its image at the current scale.
    struct LoadedImage {
        int32_t id;
        const char* fileName;
        RasterBitmap* image; // counted as used in the image cache
    };
    // The image of resource id at atScale, from the cache or loaded into it,
    // counted as used; null when it cannot be loaded.
    RasterBitmap* UseImage(int32_t id, const char* fileName, int32_t atScale);

    std::vector<LoadedImage> loadedImages;
};
