#include "gui/IGraphicsHeadless.h"

#include "core/IParameter.h"
#include "gui/EditorWindowLogic.h"
#include "gui/IPopupMenu.h"
#include "raster/Blit.h"
#include "raster/BlendMode.h"
#include "raster/PngDecoder.h"
#include "raster/RasterMemBitmap.h"
#include "raster/RasterSysBitmap.h"

#include <cctype>
#include <cstring>

IGraphicsHeadless::IGraphicsHeadless(IAudioPlugin* plugIn, int32_t w, int32_t h, int32_t rate)
    : IGraphics(plugIn, w, h, rate), screen(std::make_unique<RasterMemBitmap>(w, h))
{
}

IGraphicsHeadless::~IGraphicsHeadless() = default;

void IGraphicsHeadless::ProvideImage(int32_t id, std::unique_ptr<RasterBitmap> image)
{
    providedImages.emplace_back(id, std::move(image));
}

void IGraphicsHeadless::OpenHeadless()
{
    open = true;
    for (const std::unique_ptr<IControl>& control : controls) {
        control->MarkChanged(false);
    }
}

WindowHandle IGraphicsHeadless::OpenEditorWindow(WindowHandle)
{
    OpenHeadless();
    return this;
}

bool IGraphicsHeadless::PresentToScreen(const IRectangle& area)
{
    presented.push_back(area);
    if (backBuffer == nullptr) {
        return true;
    }
    // The screen has the back buffer's device pixels.
    if (screen->Width() != backBuffer->Width() || screen->Height() != backBuffer->Height()) {
        screen->SetSize(backBuffer->Width(), backBuffer->Height());
    }
    RasterRect source{area.left * scale, area.top * scale, area.right * scale, area.bottom * scale};
    if (source.right > source.left && source.bottom > source.top) {
        // Plain copy, alpha ignored as a window blit ignores it.
        BlitBitmap(screen.get(), backBuffer.get(), source.left, source.top, &source, 1.0f, BlendModeCopy);
    }
    return true;
}

void IGraphicsHeadless::ResizeEditor(int32_t w, int32_t h)
{
    IGraphics::ResizeEditor(w, h);
    screen->SetSize(w * scale, h * scale);
}

int IGraphicsHeadless::ShowMessageBox(const char*, const char*, int) { return 1; }

IPopupMenu* IGraphicsHeadless::ShowPopupMenu(IPopupMenu& menu, const IRectangle&)
{
    std::vector<std::string> labels;
    for (int i = 0; i < menu.ItemCount(); ++i) {
        labels.push_back(menu.ShownText(i));
    }
    offeredMenus.push_back(std::move(labels));
    if (menuAnswers.empty()) {
        return nullptr;
    }
    const int answer = menuAnswers.front();
    menuAnswers.pop_front();
    if (answer < 0 || answer >= menu.ItemCount()) {
        return nullptr;
    }
    menu.chosenIndex = answer;
    return &menu;
}

void IGraphicsHeadless::OpenTextEntry(IControl* control, const ITextStyle&, const IRectangle& area, const char* text,
                                      IParameter* parameter)
{
    textEntries.push_back(TextEntryRequest{control, area, text != nullptr ? text : "", parameter});
    if (textAnswers.empty() || control == nullptr) {
        return;
    }
    const std::string answer = textAnswers.front();
    textAnswers.pop_front();
    // Committed the way the window's timer commits a field.
    CommitEnteredText(*control, parameter, answer.c_str());
}

RasterBitmap* IGraphicsHeadless::LoadImageResource(int32_t id, const char* fileName)
{
    for (auto& [providedId, image] : providedImages) {
        if (providedId == id && image != nullptr) {
            return image.release();
        }
    }
    if (!IsPngFileName(fileName)) {
        return nullptr;
    }
    return DecodePngResource(nullptr, id);
}

bool IsPngFileName(const char* fileName)
{
    if (fileName == nullptr || fileName[0] == '\0') {
        return false;
    }
    const char* dot = std::strrchr(fileName, '.');
    const char* extension = dot != nullptr ? dot + 1 : fileName + 1;
    static const char png[] = "png";
    for (int i = 0; i < 3; ++i) {
        if (std::tolower(static_cast<unsigned char>(extension[i])) != png[i]) {
            return false;
        }
    }
    return extension[3] == '\0';
}
