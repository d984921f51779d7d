#pragma once

#include "core/IStandalonePlugin.h"
#include "gui/IGraphicsHeadless.h"
#include "raster/RasterMemBitmap.h"

#include <memory>
#include <random>
#include <vector>

// A plug-in whose seven parameters are continuous 0..1 and which records the
// editor's gestures and values.
class GuiTestPlugin : public IStandalonePlugin {
public:
    GuiTestPlugin() : IStandalonePlugin("Test", "", "Maker", "2-2", nullptr, nullptr)
    {
        for (auto& p : parameters) {
            p->ConfigureDouble("p", 0.0, 0.0, 1.0, 0.000001);
        }
    }
    void BeginParameterGesture(int index) override { gestures.push_back(index + 1); }
    void EndParameterGesture(int index) override { gestures.push_back(-(index + 1)); }
    void OfferHostParameterMenu(int index, int x, int y) override { hostMenus.push_back({index, x, y}); }
    int WrapperKind() override { return wrapper; }
    void SetParameterFromEditor(int index, double normalized) override
    {
        sent.push_back({index, normalized});
        IStandalonePlugin::SetParameterFromEditor(index, normalized);
    }

    struct Sent {
        int index;
        double value;
    };
    struct HostMenu {
        int index, x, y;
    };
    std::vector<int> gestures; // +i+1 begin, -(i+1) end
    std::vector<Sent> sent;
    std::vector<HostMenu> hostMenus;
    int wrapper = 5;
};

// A seeded random image; opaque when asked, so composited frames can be
// compared pixel for pixel.
inline std::unique_ptr<RasterMemBitmap> RandomImage(unsigned seed, int width, int height, bool opaque)
{
    auto image = std::make_unique<RasterMemBitmap>(width, height);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        RasterPixel* row = image->Pixels() + y * image->Stride();
        for (int x = 0; x < width; ++x) {
            RasterPixel p = random();
            row[x] = opaque ? (p | 0xFF000000u) : p;
        }
    }
    return image;
}

inline RasterPixel PixelAt(const RasterBitmap& b, int x, int y) { return b.Pixels()[y * b.Stride() + x]; }
