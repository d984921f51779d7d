#pragma once

#include "core/IPluginEditor.h"

#include <cstdio>
#include <string>
#include <vector>

// An editor without any drawing: records, in order, what the base asks of it
// ("take 2 0.25", "bitmaps", "show 2 10 plain", "open", "close").
class TestEditor : public IPluginEditor {
public:
    void TakePlugValue(int paramIndex, double normalized) override
    {
        calls.push_back("take " + std::to_string(paramIndex) + " " + Number(normalized));
    }
    void CreateBackingBitmaps() override { calls.push_back("bitmaps"); }
    void ShowParameterValue(int paramIndex, double value, bool isNormalized) override
    {
        calls.push_back("show " + std::to_string(paramIndex) + " " + Number(value) +
                        (isNormalized ? " normalized" : " plain"));
    }
    WindowHandle OpenEditorWindow(WindowHandle parent) override
    {
        calls.push_back("open");
        return parent;
    }
    void CloseEditorWindow() override { calls.push_back("close"); }

    std::vector<std::string> calls;

private:
    static std::string Number(double v)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g", v);
        return text;
    }
};
