#include "gui/IGraphics.h"

#include "core/IAudioPlugin.h"
#include "core/IParameter.h"
#include "gui/BitmapCache.h"
#include "gui/EditorCaches.h"
#include "gui/EditorScale.h"
#include "gui/IBitmapControl.h"
#include "gui/IPopupMenu.h"
#include "raster/Blit.h"
#include "raster/BlendMode.h"
#include "raster/RasterBitmap.h"
#include "raster/RasterSysBitmap.h"

#include <cmath>
#include <cstdio>
#include <cstring>

IGraphics::IGraphics(IAudioPlugin* plugIn, int32_t w, int32_t h, int32_t rate)
    : plug(plugIn), width(w), height(h), frameRate(rate)
{
    RetainEditorCaches();
}

IGraphics::~IGraphics()
{
    keyCatcher.reset();
    // Last to first, the reverse of their creation.
    while (!controls.empty()) {
        controls.pop_back();
    }
    backBuffer.reset();
    // After the controls: they point at cached images and fonts.
    for (const LoadedImage& loaded : loadedImages) {
        BitmapCache::Instance().Unuse(ScaledImageId(loaded.id, scale));
    }
    ReleaseEditorCaches();
}

bool IGraphics::MeasureText(ITextStyle& style, const char* text, IRectangle& area)
{
    return DrawTextInRect(style, text, area, true);
}

void IGraphics::ResizeEditor(int32_t w, int32_t h)
{
    width = w;
    height = h;
    captureIndex = -1;
    mouseX = -1;
    mouseY = -1;
    hoverIndex = -1;
    while (!controls.empty()) {
        controls.pop_back();
    }
    backBuffer.reset();
    CreateBackingBitmaps();
    if (plug != nullptr) {
        plug->ResizeEditorInHost(w, h);
    }
}

bool IGraphics::IsEditorWindowOpen() { return GetEditorWindowHandle() != nullptr; }

const char* IGraphics::PlatformLabel() { return ""; }

void* IGraphics::NativeView() { return nullptr; }

void IGraphics::ReservedHookA() {}

void IGraphics::ReservedHookB() {}

void IGraphics::HideCursorForDrag() {}

void IGraphics::RestoreCursorAfterDrag() {}

RasterBitmap* IGraphics::UseImage(int32_t id, const char* fileName, int32_t atScale)
{
    BitmapCache& cache = BitmapCache::Instance();
    const int32_t resource = ScaledImageId(id, atScale);
    if (RasterBitmap* image = cache.Use(resource)) {
        return image;
    }
    std::unique_ptr<RasterBitmap> loaded(LoadImageResource(resource, fileName));
    if (loaded == nullptr) {
        return nullptr;
    }
    // Another editor may have added it meanwhile: the first one added is used.
    cache.Add(resource, std::move(loaded));
    return cache.Use(resource);
}

RasterBitmap* IGraphics::ShownImage(int32_t id) const
{
    for (const LoadedImage& loaded : loadedImages) {
        if (loaded.id == id) {
            return loaded.image;
        }
    }
    return nullptr;
}

IBitmapStrip IGraphics::LoadBitmapStrip(int32_t id, const char* fileName, int32_t frameCount)
{
    RasterBitmap* image = ShownImage(id);
    if (image == nullptr) {
        image = UseImage(id, fileName, scale);
        if (image != nullptr) {
            loadedImages.push_back(LoadedImage{id, fileName, image});
        }
    }
    IBitmapStrip strip;
    if (image == nullptr) {
        // A missing image leaves an empty strip: its control draws nothing
        // instead of dereferencing a null image.
        std::fprintf(stderr, "Snarlbox: image %d (%s) could not be loaded\n", static_cast<int>(id),
                     fileName != nullptr ? fileName : "");
        strip.frameCount = frameCount > 0 ? frameCount : 1;
        return strip;
    }
    strip.image = image;
    strip.width = image->Width() / scale;
    strip.height = image->Height() / scale;
    strip.frameCount = frameCount > 0 ? frameCount : 1;
    strip.framesHorizontal = false;
    strip.resourceId = id;
    return strip;
}

bool IGraphics::SetScale(int32_t newScale)
{
    newScale = newScale < 1 ? 1 : (newScale > kMaxEditorScale ? kMaxEditorScale : newScale);
    if (newScale == scale) {
        return true;
    }
    // Every image at the new scale first, so a missing one changes nothing.
    std::vector<RasterBitmap*> images;
    for (const LoadedImage& loaded : loadedImages) {
        RasterBitmap* image = UseImage(loaded.id, loaded.fileName, newScale);
        if (image == nullptr) {
            std::fprintf(stderr, "Snarlbox: image %d (%s) has no drawing at scale %d; the editor stays at scale %d\n",
                         static_cast<int>(loaded.id), loaded.fileName != nullptr ? loaded.fileName : "",
                         static_cast<int>(newScale), static_cast<int>(scale));
            for (size_t i = 0; i < images.size(); ++i) {
                BitmapCache::Instance().Unuse(ScaledImageId(loadedImages[i].id, newScale));
            }
            return false;
        }
        images.push_back(image);
    }
    for (size_t i = 0; i < loadedImages.size(); ++i) {
        BitmapCache::Instance().Unuse(ScaledImageId(loadedImages[i].id, scale));
        loadedImages[i].image = images[i];
    }
    scale = newScale;
    // Fonts are found again at the scaled size.
    for (const std::unique_ptr<IControl>& control : controls) {
        control->textStyle.cachedFont = nullptr;
        control->MarkChanged(false);
    }
    if (keyCatcher != nullptr) {
        keyCatcher->textStyle.cachedFont = nullptr;
    }
    if (backBuffer != nullptr) {
        CreateBackingBitmaps();
    }
    return true;
}

IControl* IGraphics::SetBackgroundImage(int32_t id, const char* fileName)
{
    const IBitmapStrip strip = LoadBitmapStrip(id, fileName, 1);
    auto background =
        std::make_unique<IBitmapControl>(plug, 0, 0, -1, strip, IBlendSpec{IBlendSpec::BlendReplace, 1.0f});
    IControl* result = background.get();
    controls.insert(controls.begin(), std::move(background));
    return result;
}

int IGraphics::AddControl(std::unique_ptr<IControl> control)
{
    controls.push_back(std::move(control));
    return static_cast<int>(controls.size()) - 1;
}

void IGraphics::TakePlugValue(int paramIndex, double normalized)
{
    for (const std::unique_ptr<IControl>& control : controls) {
        if (control->paramIndex == paramIndex) {
            control->TakePlugValue(normalized);
        }
        // Only the first aux link bound to the parameter follows it.
        for (size_t link = 0; link < control->auxLinks.size(); ++link) {
            if (control->auxLinks[link].paramIndex == paramIndex) {
                control->TakeAuxPlugValue(static_cast<int>(link), normalized);
                break;
            }
        }
    }
}

void IGraphics::CreateBackingBitmaps()
{
    backBuffer = std::make_unique<RasterSysBitmap>(width * scale, height * scale);
}

void IGraphics::ShowParameterValue(int paramIndex, double v, bool isNormalized)
{
    if (!isNormalized) {
        IParameter* parameter = plug != nullptr ? plug->ParameterAt(paramIndex) : nullptr;
        if (parameter == nullptr) {
            return;
        }
        v = parameter->ToNormalized(v);
    }
    TakePlugValue(paramIndex, v);
}

bool IGraphics::GatherDirtyArea(IRectangle& area)
{
    bool any = false;
    for (const std::unique_ptr<IControl>& control : controls) {
        if (control->NeedsDrawing()) {
            area = area.Union(control->rect);
            any = true;
        }
    }
    return any;
}

bool IGraphics::PaintDirtyControls(const IRectangle& area)
{
    if (controls.empty()) {
        return true;
    }
    const size_t count = controls.size();
    if (strictDrawing) {
        drawArea = area;
        for (size_t i = 0; i < count; ++i) {
            IControl& control = *controls[i];
            if (!control.hidden && area.Overlaps(control.rect)) {
                control.Render(*this);
            }
            control.MarkDrawn();
        }
    } else if (controls[0]->NeedsDrawing()) {
        drawArea = controls[0]->rect;
        for (size_t i = 0; i < count; ++i) {
            IControl& control = *controls[i];
            if (i == 0 || !control.hidden) {
                control.Render(*this);
                control.MarkDrawn();
            }
        }
    } else {
        for (size_t i = 1; i < count; ++i) {
            IControl& dirtyControl = *controls[i];
            if (!dirtyControl.NeedsDrawing()) {
                continue;
            }
            drawArea = dirtyControl.rect;
            for (size_t j = 0; j < count; ++j) {
                IControl& control = *controls[j];
                if (!control.hidden && (j == i || control.rect.Overlaps(drawArea))) {
                    control.Render(*this);
                }
            }
            dirtyControl.MarkDrawn();
        }
    }
    return PresentToScreen(area);
}

bool IGraphics::BlitStripFrame(const IBitmapStrip& strip, const IRectangle& r, int frame, const IBlendSpec* blend)
{
    int sx = 0;
    int sy = 0;
    if (strip.frameCount > 1 && frame > 1) {
        const double size = strip.framesHorizontal ? strip.width : strip.height;
        const int offset = static_cast<int>(size * (frame - 1) / strip.frameCount + 0.5);
        if (strip.framesHorizontal) {
            sx = offset;
        } else {
            sy = offset;
        }
    }
    return BlitStripRegion(strip, r, sx, sy, blend);
}

bool IGraphics::BlitStripRegion(const IBitmapStrip& strip, const IRectangle& r, int sx, int sy,
                                const IBlendSpec* blend)
{
    // Editor pixels in, device pixels from here on.
    const IRectangle c = r.Intersect(drawArea);
    RasterRect source;
    source.left = (sx + (c.left - r.left)) * scale;
    source.top = (sy + (c.top - r.top)) * scale;
    source.right = source.left + (c.right - c.left) * scale;
    source.bottom = source.top + (c.bottom - c.top) * scale;
    const RasterBitmap* image = strip.resourceId >= 0 ? ShownImage(strip.resourceId) : strip.image;

    int mode = BlendUseSourceAlpha | BlendModeCopy;
    float weight = 1.0f;
    if (blend != nullptr) {
        switch (blend->mode) {
        case IBlendSpec::BlendReplace:
            mode = BlendModeCopy;
            break;
        case IBlendSpec::BlendAdd:
            mode = BlendUseSourceAlpha | BlendModeAdd;
            break;
        case IBlendSpec::BlendDodge:
            mode = BlendUseSourceAlpha | BlendModeDodge;
            break;
        default:
            mode = BlendUseSourceAlpha | BlendModeCopy;
            break;
        }
        weight = blend->weight;
    }
    // An empty intersection gives an empty source rectangle; BlitBitmap
    // would read a null source rectangle as "the whole image", so skip it.
    if (backBuffer != nullptr && image != nullptr && c.right > c.left && c.bottom > c.top) {
        BlitBitmap(backBuffer.get(), image, c.left * scale, c.top * scale, &source, weight, mode);
    }
    return true;
}

void IGraphics::PromptParameterValue(IControl* control, IParameter* parameter, const IRectangle& area)
{
    if (control == nullptr || parameter == nullptr || area.IsEmpty()) {
        return;
    }
    const bool menu = parameter->type == IParameter::TypeChoice ||
                      (parameter->type == IParameter::TypeToggle && !parameter->displayTexts.empty());
    if (menu) {
        char current[32];
        parameter->DisplayText(current, sizeof current);
        IPopupMenu popup(IPopupMenu::PrefixNone);
        const int textCount = static_cast<int>(parameter->displayTexts.size());
        for (int i = 0; i < textCount; ++i) {
            const char* text = "";
            for (const DisplayTextEntry& entry : parameter->displayTexts) {
                if (entry.value == i) {
                    text = entry.text;
                    break;
                }
            }
            popup.AddItem(text, std::strcmp(text, current) == 0 ? IPopupMenuItem::Checked : 0);
        }
        if (ShowPopupMenu(popup, area) != nullptr && popup.chosenIndex >= 0) {
            double plain = popup.chosenIndex;
            if (plain < parameter->minimum) {
                plain = parameter->minimum;
            } else if (plain > parameter->maximum) {
                plain = parameter->maximum;
            }
            control->TakeEnteredValue(parameter->ToNormalized(plain));
        }
        return;
    }
    char text[64];
    const double shown = parameter->negateDisplay ? -parameter->value : parameter->value;
    if (parameter->displayPrecision > 0) {
        std::snprintf(text, sizeof text, "%.*f", static_cast<int>(parameter->displayPrecision), shown);
    } else {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(std::trunc(shown)));
    }
    OpenTextEntry(control, control->textStyle, area, text, parameter);
}
