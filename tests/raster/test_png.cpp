#include "PngTestSupport.h"
#include "RasterTestSupport.h"

#include "platform/Resources.h"
#include "raster/ImageLoaderEntry.h"
#include "raster/PngDecoder.h"
#include "raster/RasterMemBitmap.h"

#include <gtest/gtest.h>
#include <zlib.h>

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

// PNG bytes put together chunk by chunk, so that lengths can lie.
class ChunkWriter {
public:
    ChunkWriter() : bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A} {}
    // 8-bit samples of the colour type, not interlaced.
    ChunkWriter& Header(uint32_t width, uint32_t height, uint8_t colourType = 6, uint8_t bitDepth = 8)
    {
        std::vector<unsigned char> ihdr;
        Put32(ihdr, width);
        Put32(ihdr, height);
        ihdr.insert(ihdr.end(), {bitDepth, colourType, 0, 0, 0});
        return Chunk("IHDR", ihdr);
    }
    // A whole chunk with its CRC.
    ChunkWriter& Chunk(const char* type, const std::vector<unsigned char>& data)
    {
        Put32(bytes, uint32_t(data.size()));
        const size_t start = bytes.size();
        bytes.insert(bytes.end(), type, type + 4);
        bytes.insert(bytes.end(), data.begin(), data.end());
        Put32(bytes, uint32_t(crc32(0, bytes.data() + start, uInt(bytes.size() - start))));
        return *this;
    }
    // A chunk header that declares length bytes, followed by only present ones.
    ChunkWriter& CutChunk(const char* type, uint32_t length, size_t present)
    {
        Put32(bytes, length);
        bytes.insert(bytes.end(), type, type + 4);
        bytes.insert(bytes.end(), present, 'x');
        return *this;
    }
    static void Put32(std::vector<unsigned char>& out, uint32_t value)
    {
        out.insert(out.end(), {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value)});
    }
    std::vector<unsigned char> bytes;
};

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

// A chunk that declares far more bytes than the data holds is refused at its
// header, before libpng allocates for it or reads gigabytes of zeros, on both
// paths; a chunk that runs only a little past the end is read as zeros and
// left to libpng's own checks.
TEST(PngDecode, ChunksReachingFarPastTheEndAreRefusedAtTheirHeader)
{
    const std::string refused = "chunk reaches far past the end of the data";
    TempFolder folder;
    struct Case {
        const char* type;
        uint32_t declared;
        bool refuse;
    };
    for (const Case& c : {Case{"tEXt", 0x7FFFFFFF, true}, Case{"zTXt", 1u << 24, true}, Case{"abCd", 1u << 24, true},
                          Case{"IDAT", 1u << 24, true}, Case{"tEXt", 300, false}, Case{"abCd", 200, false}}) {
        SCOPED_TRACE(std::string(c.type) + " declaring " + std::to_string(c.declared));
        const std::vector<unsigned char> bytes = ChunkWriter().Header(1, 1).CutChunk(c.type, c.declared, 2).bytes;
        const std::string file = folder.Write("long.png", bytes);
        testing::internal::CaptureStderr();
        std::unique_ptr<RasterBitmap> fromMemory(DecodeBytes(bytes));
        const std::string memoryErrors = testing::internal::GetCapturedStderr();
        testing::internal::CaptureStderr();
        std::unique_ptr<RasterBitmap> fromFile(DecodePngFile(file.c_str(), true, nullptr));
        const std::string fileErrors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(fromMemory, nullptr);
        EXPECT_EQ(fromFile, nullptr);
        EXPECT_EQ(memoryErrors.find(refused) != std::string::npos, c.refuse) << memoryErrors;
        // A file ends its reading at the end of the file; only the header check differs.
        if (c.refuse) {
            EXPECT_NE(fileErrors.find(refused), std::string::npos) << fileErrors;
        }
    }
}

// A header that claims more pixels than its data could ever inflate to fails
// before the bitmap is made or a destination resized; an image that packs
// about as tightly as deflate can still decodes.
TEST(PngDecode, ImageBiggerThanItsDataCanHoldIsRefusedFirst)
{
    RasterMemBitmap destination(3, 3);
    const std::vector<unsigned char> claim =
        ChunkWriter().Header(4000, 4000).Chunk("IDAT", {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}).bytes;
    EXPECT_EQ(DecodeBytes(claim, &destination), nullptr);
    EXPECT_EQ(destination.Width(), 3);
    EXPECT_EQ(destination.Height(), 3);

    // 2048 x 2048 grey pixels, all black: rows of a filter byte and zeros.
    const uint32_t side = 2048;
    std::vector<unsigned char> raw(size_t(side) * (side + 1), 0);
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<unsigned char> packed(packedSize);
    ASSERT_EQ(compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9), Z_OK);
    packed.resize(packedSize);
    const std::vector<unsigned char> tight = ChunkWriter().Header(side, side, 0).Chunk("IDAT", packed).Chunk("IEND", {}).bytes;
    ASSERT_GT(raw.size() / tight.size(), 500u) << "the test image should pack tightly";
    std::unique_ptr<RasterBitmap> decoded(DecodeBytes(tight, &destination));
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(destination.Width(), int(side));
    EXPECT_EQ(destination.Pixels()[destination.Stride() * (side - 1) + side - 1], 0xFF000000u);
    decoded.release(); // it is the destination
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
