#include "PngTestSupport.h"
#include "RasterTestSupport.h"

#include "platform/Resources.h"
#include "raster/ImageLoaderEntry.h"
#include "raster/PngDecoder.h"
#include "raster/RasterMemBitmap.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

struct NamedFormat {
    const char* name;
    TestPngFormat format;
};

const NamedFormat formats[] = {
    {"palette 8", {PNG_COLOR_TYPE_PALETTE, 8, false, false}},
    {"palette 8 tRNS", {PNG_COLOR_TYPE_PALETTE, 8, true, false}},
    {"palette 1", {PNG_COLOR_TYPE_PALETTE, 1, false, false}},
    {"palette 4 tRNS", {PNG_COLOR_TYPE_PALETTE, 4, true, false}},
    {"grey 1", {PNG_COLOR_TYPE_GRAY, 1, false, false}},
    {"grey 2", {PNG_COLOR_TYPE_GRAY, 2, false, false}},
    {"grey 4", {PNG_COLOR_TYPE_GRAY, 4, false, false}},
    {"grey 8", {PNG_COLOR_TYPE_GRAY, 8, false, false}},
    {"grey 16", {PNG_COLOR_TYPE_GRAY, 16, false, false}},
    {"grey 8 tRNS", {PNG_COLOR_TYPE_GRAY, 8, true, false}},
    {"grey 2 tRNS", {PNG_COLOR_TYPE_GRAY, 2, true, false}},
    {"grey+alpha 8", {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false}},
    {"grey+alpha 16", {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, false}},
    {"RGB 8", {PNG_COLOR_TYPE_RGB, 8, false, false}},
    {"RGB 16", {PNG_COLOR_TYPE_RGB, 16, false, false}},
    {"RGB 8 tRNS", {PNG_COLOR_TYPE_RGB, 8, true, false}},
    {"RGB 16 tRNS", {PNG_COLOR_TYPE_RGB, 16, true, false}},
    {"grey 16 tRNS", {PNG_COLOR_TYPE_GRAY, 16, true, false}},
    {"RGBA 8", {PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false}},
    {"RGBA 16", {PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false}},
    {"RGBA 8 interlaced", {PNG_COLOR_TYPE_RGB_ALPHA, 8, false, true}},
    {"palette 2 interlaced", {PNG_COLOR_TYPE_PALETTE, 2, true, true}},
    {"grey 1 interlaced", {PNG_COLOR_TYPE_GRAY, 1, false, true}},
};

// Compares every pixel of bitmap (any row order and stride) with the reference.
::testing::AssertionResult SamePixels(const RasterBitmap& b, const TestPng& t)
{
    if (b.Width() != t.width || b.Height() != t.height) {
        return ::testing::AssertionFailure() << "size " << b.Width() << "x" << b.Height();
    }
    for (int y = 0; y < t.height; ++y) {
        const RasterPixel* row = b.Pixels() + ptrdiff_t(b.IsBottomUp() ? t.height - 1 - y : y) * b.Stride();
        for (int x = 0; x < t.width; ++x) {
            RasterPixel want = t.expected[size_t(y) * size_t(t.width) + size_t(x)];
            if (row[x] != want) {
                return ::testing::AssertionFailure()
                       << "pixel " << x << "," << y << " is " << std::hex << row[x] << ", want " << want;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

RasterBitmap* DecodeBytes(const std::vector<unsigned char>& bytes, RasterBitmap* destination = nullptr)
{
    return DecodePngMemory(bytes.data(), int(bytes.size()), destination);
}

int OpenDescriptors()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) {
            ++count;
        }
        closedir(dir);
    }
    return count;
}

// A fresh folder for files, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/snarlbox-png-XXXXXX";
        path = mkdtemp(pattern) != nullptr ? pattern : "";
    }
    ~TempFolder()
    {
        for (const std::string& f : files) {
            std::remove(f.c_str());
        }
        rmdir(path.c_str());
    }
    std::string Write(const std::string& name, const std::vector<unsigned char>& bytes)
    {
        std::string full = path + "/" + name;
        if (FILE* f = std::fopen(full.c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
            files.push_back(full);
        }
        return full;
    }
    std::string path;
    std::vector<std::string> files;
};

} // namespace

TEST(PngDecode, EveryFormatMatchesTheSampleReference)
{
    uint32_t seed = 1;
    for (const NamedFormat& f : formats) {
        SCOPED_TRACE(f.name);
        for (int size : {1, 13}) {
            TestPng t = MakeTestPng(f.format, size, size == 1 ? 1 : 9, seed++);
            ASSERT_FALSE(t.bytes.empty());
            std::unique_ptr<RasterBitmap> decoded(DecodeBytes(t.bytes));
            ASSERT_NE(decoded, nullptr);
            EXPECT_TRUE(SamePixels(*decoded, t));
        }
    }
}

TEST(PngDecode, KnownValuesOfTheExpansions)
{
    // 1-bit grey is black and white; 16-bit keeps the high byte.
    TestPng grey = MakeTestPng({PNG_COLOR_TYPE_GRAY, 1, false, false}, 16, 4, 7);
    std::unique_ptr<RasterBitmap> g(DecodeBytes(grey.bytes));
    ASSERT_NE(g, nullptr);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 16; ++x) {
            RasterPixel p = g->Pixels()[y * g->Stride() + x];
            EXPECT_TRUE(p == 0xFF000000u || p == 0xFFFFFFFFu) << std::hex << p;
        }
    }
}

TEST(PngDecode, IntoAGivenBottomUpDestination)
{
    TestPng t = MakeTestPng({PNG_COLOR_TYPE_RGB_ALPHA, 8, false, true}, 11, 6, 99);
    TestBitmap destination(11, 6, 16, true);
    EXPECT_EQ(DecodeBytes(t.bytes, &destination), &destination);
    EXPECT_TRUE(SamePixels(destination, t));

    RasterMemBitmap resized(3, 3);
    EXPECT_EQ(DecodeBytes(t.bytes, &resized), &resized);
    EXPECT_TRUE(SamePixels(resized, t));
}

TEST(PngDecode, DestinationThatCannotTakeTheSize)
{
    TestPng t = MakeTestPng({PNG_COLOR_TYPE_RGB, 8, false, false}, 8, 8, 3);
    TestBitmap fixed(7, 8, 8, false); // refuses SetSize
    EXPECT_EQ(DecodeBytes(t.bytes, &fixed), nullptr);
}

TEST(PngDecode, DamagedDataFailsCleanly)
{
    TestPng t = MakeTestPng({PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false}, 20, 20, 5);
    const std::vector<unsigned char>& good = t.bytes;
    EXPECT_EQ(DecodePngMemory(nullptr, 100, nullptr), nullptr);
    EXPECT_EQ(DecodePngMemory(good.data(), 7, nullptr), nullptr);
    EXPECT_EQ(DecodePngMemory(good.data(), -1, nullptr), nullptr);

    std::vector<unsigned char> wrongSignature = good;
    wrongSignature[1] = 'Q';
    EXPECT_EQ(DecodeBytes(wrongSignature), nullptr);

    // The last four bytes of a chunk are its CRC; change one IDAT data byte.
    std::vector<unsigned char> crc = good;
    auto idat = std::search(crc.begin(), crc.end(), std::begin("IDAT"), std::end("IDAT") - 1);
    ASSERT_NE(idat, crc.end());
    idat[6] ^= 0x40;
    EXPECT_EQ(DecodeBytes(crc), nullptr);

    // Every truncation: the zero-filled tail must end in an error, never a crash.
    // The last 12 bytes are the IEND chunk, which the decoder never reads.
    int before = OpenDescriptors();
    for (size_t length = 8; length + 12 < good.size(); ++length) {
        std::vector<unsigned char> cut(good.begin(), good.begin() + ptrdiff_t(length));
        std::unique_ptr<RasterBitmap> decoded(DecodeBytes(cut));
        EXPECT_EQ(decoded, nullptr) << "length " << length;
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(PngDecodeFile, ExtensionTestAndNames)
{
    TestPng t = MakeTestPng({PNG_COLOR_TYPE_PALETTE, 8, true, false}, 5, 4, 11);
    TempFolder folder;
    ASSERT_FALSE(folder.path.empty());
    // Backslashes are ordinary characters in Linux names, so these are files.
    std::string upper = folder.Write("images\\knob.PNG", t.bytes);
    std::string bak = folder.Write("knob.png.bak", t.bytes);
    std::string dotted = folder.Write("assets.old\\knob", t.bytes);
    std::string bare = folder.Write("png", t.bytes);
    std::string unicode = folder.Write("Kn\xC3\xB6" "pfe \xE2\x80\x93 \xE6\x97\x8B\xE9\x92\xAE.png", t.bytes);

    std::unique_ptr<RasterBitmap> a(DecodePngFile(upper.c_str(), true, nullptr));
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(SamePixels(*a, t));
    EXPECT_EQ(DecodePngFile(bak.c_str(), true, nullptr), nullptr);
    EXPECT_EQ(DecodePngFile(dotted.c_str(), true, nullptr), nullptr);
    EXPECT_EQ(DecodePngFile(bare.c_str(), true, nullptr), nullptr);
    std::unique_ptr<RasterBitmap> unchecked(DecodePngFile(bak.c_str(), false, nullptr));
    EXPECT_NE(unchecked, nullptr);
    std::unique_ptr<RasterBitmap> u(DecodePngFile(unicode.c_str(), true, nullptr));
    ASSERT_NE(u, nullptr);
    EXPECT_TRUE(SamePixels(*u, t));
    EXPECT_EQ(DecodePngFile((folder.path + "/missing.png").c_str(), true, nullptr), nullptr);
    EXPECT_EQ(DecodePngFile(nullptr, false, nullptr), nullptr);
}

TEST(PngDecodeFile, FailuresCloseTheFile)
{
    TestPng t = MakeTestPng({PNG_COLOR_TYPE_GRAY, 8, false, false}, 30, 30, 12);
    TempFolder folder;
    std::vector<unsigned char> cut(t.bytes.begin(), t.bytes.begin() + ptrdiff_t(t.bytes.size() / 2));
    std::string truncated = folder.Write("cut.png", cut);
    std::vector<unsigned char> notPng(40, 'x');
    std::string text = folder.Write("text.png", notPng);
    std::string good = folder.Write("good.png", t.bytes);
    TestBitmap small(2, 2, 2, false);
    int before = OpenDescriptors();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(DecodePngFile(truncated.c_str(), true, nullptr), nullptr);
        EXPECT_EQ(DecodePngFile(text.c_str(), true, nullptr), nullptr);
        EXPECT_EQ(DecodePngFile(good.c_str(), true, &small), nullptr);
        delete DecodePngFile(good.c_str(), true, nullptr);
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(PngResources, EmbeddedImagesDecodeToTheirSizes)
{
    struct Expected {
        int id, width, height;
    };
    for (Expected e : {Expected{101, 70, 4480}, Expected{102, 64, 1984}, Expected{103, 655, 175}}) {
        std::unique_ptr<RasterBitmap> b(DecodePngResource(nullptr, e.id));
        ASSERT_NE(b, nullptr) << e.id;
        EXPECT_EQ(b->Width(), e.width);
        EXPECT_EQ(b->Height(), e.height);
    }
    // Only the low 16 bits name the resource.
    std::unique_ptr<RasterBitmap> high(DecodePngResource(nullptr, 0x30000 + 103));
    EXPECT_NE(high, nullptr);
    EXPECT_EQ(DecodePngResource(nullptr, 104), nullptr);
    EXPECT_EQ(DecodePngResource(nullptr, 40003), nullptr); // an icon, not a "PNG"
    EXPECT_NE(FindResource(40003, "ICON"), nullptr);

    // Knob strips have transparent corners; the background is opaque.
    std::unique_ptr<RasterBitmap> knob(DecodePngResource(nullptr, 101));
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(knob->Pixels()[0] >> 24, 0u);
    std::unique_ptr<RasterBitmap> background(DecodePngResource(nullptr, 103));
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->Pixels()[0] >> 24, 255u);
}

TEST(PngResources, ModuleWithoutTheImage)
{
    TestPng t = MakeTestPng({PNG_COLOR_TYPE_RGB, 8, false, false}, 3, 2, 4);
    const unsigned char tiny[7] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A};
    const ResourceEntry entries[] = {{7, "PNG", t.bytes.data(), t.bytes.size()}, {8, "PNG", tiny, sizeof tiny}};
    const ResourceModule module = {entries, 2};
    std::unique_ptr<RasterBitmap> b(DecodePngResource(&module, 7));
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(SamePixels(*b, t));
    EXPECT_EQ(DecodePngResource(&module, 8), nullptr);
    EXPECT_EQ(DecodePngResource(&module, 101), nullptr);
}

TEST(PngLoaderEntry, RegisteredWithItsFilter)
{
    bool found = false;
    for (const ImageLoaderEntry* e = imageLoaderList; e != nullptr; e = e->next) {
        if (e->decodeFile == DecodePngFile) {
            found = true;
            static const char want[] = "PNG files (*.PNG)\0*.PNG\0";
            EXPECT_EQ(std::memcmp(e->filterText(), want, sizeof want), 0);
        }
    }
    EXPECT_TRUE(found);
}

#ifdef SNARLBOX_PNG_CORPUS
// The fuzz seeds decode; any input the fuzzer once crashed on, kept in the
// same folder, must now simply return.
TEST(PngDecode, FuzzCorpusReplays)
{
    DIR* dir = opendir(SNARLBOX_PNG_CORPUS);
    ASSERT_NE(dir, nullptr);
    int files = 0;
    while (dirent* entry = readdir(dir)) {
        std::string path = std::string(SNARLBOX_PNG_CORPUS) + "/" + entry->d_name;
        FILE* f = entry->d_name[0] == '.' ? nullptr : std::fopen(path.c_str(), "rb");
        if (f == nullptr) {
            continue;
        }
        std::vector<unsigned char> bytes;
        unsigned char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) {
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        std::fclose(f);
        ++files;
        std::unique_ptr<RasterBitmap> decoded(DecodeBytes(bytes));
        if (std::strncmp(entry->d_name, "crash-", 6) != 0) {
            EXPECT_NE(decoded, nullptr) << entry->d_name;
        }
    }
    closedir(dir);
    EXPECT_GE(files, 6);
}
#endif
