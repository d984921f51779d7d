#pragma once

#include "raster/RasterPixel.h"

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

// A PNG written by libpng from random samples, with the pixels a correct
// decoder must produce worked out sample by sample.
struct TestPng {
    std::vector<unsigned char> bytes;
    std::vector<RasterPixel> expected; // row-major, width * height
    int width = 0;
    int height = 0;
};

struct TestPngFormat {
    int colorType;
    int bitDepth;
    bool transparency; // a tRNS chunk (palette alpha, or one transparent colour)
    bool interlaced;
};

namespace png_test_detail {

inline void WriteToVector(png_structp png, png_bytep data, png_size_t size)
{
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

inline void Flush(png_structp) {}

inline int Channels(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1; // palette index
    }
}

// The libpng calls alone, so the error jump's frame holds nothing to clobber.
inline bool WritePng(std::vector<unsigned char>& out, int width, int height, const TestPngFormat& f,
                     std::vector<png_color>& colours, std::vector<png_byte>& paletteAlpha,
                     png_color_16& transparent, std::vector<png_bytep>& rows)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &out, WriteToVector, Flush);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), f.bitDepth, f.colorType,
                 f.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (f.colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, colours.data(), int(colours.size()));
        if (!paletteAlpha.empty()) {
            png_set_tRNS(png, info, paletteAlpha.data(), int(paletteAlpha.size()), nullptr);
        }
    } else if (f.transparency) {
        png_set_tRNS(png, info, nullptr, 0, &transparent);
    }
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace png_test_detail

inline TestPng MakeTestPng(const TestPngFormat& f, int width, int height, uint32_t seed)
{
    using namespace png_test_detail;
    std::mt19937 rng(seed);
    TestPng t;
    t.width = width;
    t.height = height;
    const int channels = Channels(f.colorType);
    const uint32_t maxSample = (1u << f.bitDepth) - 1;
    const bool palette = f.colorType == PNG_COLOR_TYPE_PALETTE;
    const int paletteSize = palette ? int(std::min<uint32_t>(maxSample + 1, 256)) : 0;

    std::vector<png_color> colours(static_cast<size_t>(paletteSize));
    std::vector<png_byte> paletteAlpha;
    for (png_color& c : colours) {
        c = {png_byte(rng()), png_byte(rng()), png_byte(rng())};
    }
    if (palette && f.transparency) {
        paletteAlpha.resize(size_t(paletteSize / 2 + 1)); // later entries stay opaque
        for (png_byte& a : paletteAlpha) {
            a = png_byte(rng());
        }
    }

    std::vector<uint32_t> samples(size_t(width) * size_t(height) * size_t(channels));
    for (uint32_t& s : samples) {
        s = palette ? uint32_t(rng() % uint32_t(paletteSize)) : uint32_t(rng()) & maxSample;
    }
    // One transparent colour: reuse the first pixel's colour so it occurs.
    png_color_16 transparent{};
    if (!palette && f.transparency) {
        transparent.gray = png_uint_16(samples[0]);
        transparent.red = png_uint_16(samples[0]);
        transparent.green = png_uint_16(channels >= 3 ? samples[1] : 0);
        transparent.blue = png_uint_16(channels >= 3 ? samples[2] : 0);
        for (size_t p = 0; p < samples.size() / size_t(channels); p += 3) {
            for (int c = 0; c < channels; ++c) {
                samples[p * size_t(channels) + size_t(c)] = samples[size_t(c)];
            }
        }
    }

    // Reference: every sample to 8 bits (high byte of 16, bit replication below 8).
    auto to8 = [&](uint32_t s) -> uint32_t {
        if (f.bitDepth == 16) {
            return s >> 8;
        }
        return s * 255 / maxSample;
    };
    t.expected.resize(size_t(width) * size_t(height));
    for (size_t p = 0; p < t.expected.size(); ++p) {
        const uint32_t* s = &samples[p * size_t(channels)];
        uint32_t a = 255;
        uint32_t r = 0;
        uint32_t g = 0;
        uint32_t b = 0;
        switch (f.colorType) {
        case PNG_COLOR_TYPE_PALETTE:
            r = colours[s[0]].red;
            g = colours[s[0]].green;
            b = colours[s[0]].blue;
            a = s[0] < paletteAlpha.size() ? paletteAlpha[s[0]] : 255;
            break;
        case PNG_COLOR_TYPE_GRAY:
            r = g = b = to8(s[0]);
            a = f.transparency && s[0] == transparent.gray ? 0 : 255;
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            r = g = b = to8(s[0]);
            a = to8(s[1]);
            break;
        case PNG_COLOR_TYPE_RGB:
            r = to8(s[0]);
            g = to8(s[1]);
            b = to8(s[2]);
            a = f.transparency && s[0] == transparent.red && s[1] == transparent.green && s[2] == transparent.blue ? 0
                                                                                                                  : 255;
            break;
        default:
            r = to8(s[0]);
            g = to8(s[1]);
            b = to8(s[2]);
            a = to8(s[3]);
            break;
        }
        t.expected[p] = (a << 24) | (r << 16) | (g << 8) | b;
    }

    // Pack the rows as PNG stores them: big-endian 16-bit, MSB-first below 8.
    const size_t rowBytes = (size_t(width) * size_t(channels) * size_t(f.bitDepth) + 7) / 8;
    std::vector<png_byte> raw(rowBytes * size_t(height), 0);
    for (int y = 0; y < height; ++y) {
        png_byte* row = &raw[size_t(y) * rowBytes];
        for (int i = 0; i < width * channels; ++i) {
            uint32_t s = samples[size_t(y) * size_t(width) * size_t(channels) + size_t(i)];
            if (f.bitDepth == 16) {
                row[2 * i] = png_byte(s >> 8);
                row[2 * i + 1] = png_byte(s);
            } else if (f.bitDepth == 8) {
                row[i] = png_byte(s);
            } else {
                size_t bit = size_t(i) * size_t(f.bitDepth);
                row[bit / 8] |= png_byte(s << (8 - f.bitDepth - bit % 8));
            }
        }
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        rows[size_t(y)] = &raw[size_t(y) * rowBytes];
    }

    if (!WritePng(t.bytes, width, height, f, colours, paletteAlpha, transparent, rows)) {
        t.bytes.clear();
    }
    return t;
}
