#pragma once

#include "gui/IGraphics.h"

#include <vector>

// An editor without a window: records what the base asks of it.
class TestEditor : public IGraphics {
public:
    TestEditor(IAudioPlugin* plug) : IGraphics(plug, 100, 50, 25) {}

    bool PresentToScreen(const IRectangle&) override { return true; }
    void CancelValueEntry() override {}
    int ShowMessageBox(const char*, const char*, int) override { return 1; }
    IPopupMenu* ShowPopupMenu(IPopupMenu&, const IRectangle&) override { return nullptr; }
    void OpenTextEntry(IControl*, const ITextStyle&, const IRectangle&, const char*, IParameter*) override {}
    void GetHostDirectory(std::string& out) override { out.clear(); }
    void GetModuleDirectory(std::string& out) override { out.clear(); }
    void GetDesktopDirectory(std::string& out) override { out.clear(); }
    void ChooseFile(std::string&, int, std::string&, const char*) override {}
    bool ChooseColour(IRgbaColor&, const char*) override { return false; }
    bool OpenWebAddress(const char*, const char*, const char*, const char*) override { return false; }
    WindowHandle OpenEditorWindow(WindowHandle) override { return nullptr; }
    void CloseEditorWindow() override {}
    WindowHandle GetEditorWindowHandle() override { return nullptr; }
    RasterBitmap* LoadImageResource(int32_t, const char*) override { return nullptr; }
};

// A control that only holds values.
class ValueControl : public IControl {
public:
    ValueControl(IAudioPlugin* plug, int paramIndex) : IControl(plug, IRectangle{0, 0, 10, 10}, paramIndex, IBlendSpec{}) {}
    bool Render(IGraphics&) override { return true; }
};
