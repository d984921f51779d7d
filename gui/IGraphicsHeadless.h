#pragma once

#include "gui/IGraphics.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

class RasterMemBitmap;

// An editor without a window, for tests and tools: presenting copies the
// area of the back buffer onto an in-memory "screen" bitmap and records the
// area; popup menus and text entry take their answers from script queues;
// images come from the program's embedded PNG resources. UI thread only.
class IGraphicsHeadless : public IGraphics {
public:
    // One text-entry request as the editor made it.
    struct TextEntryRequest {
        IControl* control;
        IRectangle area;
        std::string text;
        IParameter* parameter;
    };

    IGraphicsHeadless(IAudioPlugin* plug, int32_t width, int32_t height, int32_t frameRate);
    ~IGraphicsHeadless() override;

    // Script: the next popup chooses this 0-based item; -1 dismisses it.
    void QueueMenuAnswer(int chosenIndex) { menuAnswers.push_back(chosenIndex); }
    // Script: the next text entry is committed with this text, as the
    // window commits a field (CommitEnteredText).
    void QueueTextAnswer(const char* text) { textAnswers.emplace_back(text != nullptr ? text : ""); }
    // Images taken before the embedded resources (tests' synthetic strips); owned here.
    void ProvideImage(int32_t id, std::unique_ptr<RasterBitmap> image);

    // What presenting put on screen (width x height times the scale, in
    // device pixels), and every presented area (editor pixels).
    RasterMemBitmap& Screen() { return *screen; }
    const std::vector<IRectangle>& PresentedAreas() const { return presented; }
    void ClearPresentedAreas() { presented.clear(); }
    // The labels of every popup offered, in order, and every text entry opened.
    const std::vector<std::vector<std::string>>& OfferedMenus() const { return offeredMenus; }
    const std::vector<TextEntryRequest>& TextEntries() const { return textEntries; }
    // Marks every control changed, as opening the window does.
    void OpenHeadless();

    bool PresentToScreen(const IRectangle& area) override;
    void CancelValueEntry() override {}
    void ResizeEditor(int32_t w, int32_t h) override;
    int ShowMessageBox(const char* text, const char* caption, int type) override;
    IPopupMenu* ShowPopupMenu(IPopupMenu& menu, const IRectangle& area) override;
    void OpenTextEntry(IControl* control, const ITextStyle& style, const IRectangle& area, const char* text,
                       IParameter* parameter) override;
    void GetHostDirectory(std::string& out) override { out.clear(); }
    void GetModuleDirectory(std::string& out) override { out.clear(); }
    void GetDesktopDirectory(std::string& out) override { out.clear(); }
    void ChooseFile(std::string& fileName, int, std::string&, const char*) override { fileName.clear(); }
    bool ChooseColour(IRgbaColor&, const char*) override { return false; }
    bool OpenWebAddress(const char*, const char*, const char*, const char*) override { return false; }
    WindowHandle OpenEditorWindow(WindowHandle) override;
    void CloseEditorWindow() override { open = false; }
    WindowHandle GetEditorWindowHandle() override { return open ? this : nullptr; }
    RasterBitmap* LoadImageResource(int32_t id, const char* fileName) override;

private:
    std::unique_ptr<RasterMemBitmap> screen;
    std::vector<IRectangle> presented;
    std::deque<int> menuAnswers;
    std::deque<std::string> textAnswers;
    std::vector<std::vector<std::string>> offeredMenus;
    std::vector<TextEntryRequest> textEntries;
    std::vector<std::pair<int32_t, std::unique_ptr<RasterBitmap>>> providedImages;
    bool open = false;
};

// True when the text after the last "." of the name (after its first
// character when it has none) is "png" in any case. Any thread; pure.
bool IsPngFileName(const char* fileName);
