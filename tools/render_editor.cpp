// Paints the effect's editor without a display and writes it as a PNG:
//   render_editor out.png [index=normalized ...]
#include "effect/DistortionEffect.h"
#include "effect/EditorLayout.h"
#include "gui/IGraphicsHeadless.h"
#include "raster/RasterMemBitmap.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// Writes the bitmap's colour channels as an 8-bit RGB PNG; false on any error.
bool WriteRgbPng(const char* fileName, const RasterBitmap& bitmap)
{
    FILE* file = std::fopen(fileName, "wb");
    if (file == nullptr) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(file);
        return false;
    }
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        const RasterPixel* pixels = bitmap.Pixels() + static_cast<ptrdiff_t>(y) * bitmap.Stride();
        for (int x = 0; x < width; ++x) {
            row[static_cast<size_t>(x) * 3] = static_cast<png_byte>(pixels[x] >> 16);
            row[static_cast<size_t>(x) * 3 + 1] = static_cast<png_byte>(pixels[x] >> 8);
            row[static_cast<size_t>(x) * 3 + 2] = static_cast<png_byte>(pixels[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png [index=normalized ...]\n", argv[0]);
        return 2;
    }
    DistortionEffect effect(nullptr, nullptr, false);
    auto editor = std::make_unique<IGraphicsHeadless>(&effect, kEditorWidth, kEditorHeight, kEditorFrameRate);
    IGraphicsHeadless* graphics = editor.get();
    BuildDistortionEditor(*graphics, &effect);
    for (const auto& control : graphics->controls) {
        if (control->rect.Width() <= 0) {
            std::fprintf(stderr, "render_editor: an editor image is missing\n");
            return 1;
        }
    }
    effect.AttachEditor(std::move(editor));

    for (int i = 2; i < argc; ++i) {
        char* end = nullptr;
        const long index = std::strtol(argv[i], &end, 10);
        if (end == argv[i] || *end != '=' || index < 0 || index >= effect.ParameterCount()) {
            std::fprintf(stderr, "render_editor: ignoring \"%s\" (expected index=value, index 0..%d)\n", argv[i],
                         effect.ParameterCount() - 1);
            continue;
        }
        const char* text = end + 1;
        double value = std::strtod(text, &end);
        if (end == text || *end != '\0' || !(value >= 0.0 && value <= 1.0)) {
            std::fprintf(stderr, "render_editor: ignoring \"%s\" (value must be 0..1)\n", argv[i]);
            continue;
        }
        effect.SetParameterFromEditor(static_cast<int>(index), value);
        graphics->ShowParameterValue(static_cast<int>(index), value, true);
    }

    graphics->OpenHeadless();
    IRectangle area;
    graphics->GatherDirtyArea(area);
    graphics->PaintDirtyControls(area);
    if (!WriteRgbPng(argv[1], graphics->Screen())) {
        std::fprintf(stderr, "render_editor: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
