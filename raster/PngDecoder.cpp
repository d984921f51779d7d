#include "raster/PngDecoder.h"

#include "platform/Resources.h"
#include "raster/BitmapLayout.h"
#include "raster/ImageLoaderEntry.h"
#include "raster/RasterMemBitmap.h"

#include <png.h>

#include <climits>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/stat.h>

namespace {

constexpr unsigned char pngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

struct MemorySource {
    const unsigned char* cursor;
    int32_t remaining;
};

// A file of known size (remaining: bytes not read yet, -1 when the size is
// unknown, as for a pipe).
struct FileSource {
    FILE* file;
    int64_t remaining;
};

// A chunk may reach this far past the end of the data and still be read, the
// missing bytes as zeros, so that libpng's own checks report the damage (and
// an image whose data was all there still decodes).
constexpr uint64_t kChunkOverrunAllowance = 64 * 1024;
// Deflate packs at most 1032 bytes into one; an image whose rows need more
// than that many times the data cannot be in it.
constexpr uint64_t kMaxDeflateRatio = 1032;
// Text, profile and other chunks that libpng decompresses or keeps are
// refused beyond this size (the editor uses none of them).
constexpr png_alloc_size_t kChunkMemoryLimit = 1024 * 1024;

// Stops the decode at the header of a chunk that declares far more bytes than
// the data holds: libpng would otherwise allocate that much for it, or read
// and checksum up to 2 GB of zeros, before its own checks fail.
void RefuseOverlongChunk(png_structp png, png_const_bytep bytes, png_size_t count, uint64_t remaining)
{
    if (count != 8 || (png_get_io_state(png) & PNG_IO_MASK_LOC) != PNG_IO_CHUNK_HDR) {
        return;
    }
    const uint64_t declared = uint64_t(png_get_uint_32(bytes)) + 4; // data and CRC
    if (declared > remaining + kChunkOverrunAllowance) {
        png_error(png, "chunk reaches far past the end of the data");
    }
}

// Reads past the end hand libpng zeros rather than an error of our own: its
// CRC and format checks then report the damage.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t count)
{
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    std::memset(out, 0, count);
    size_t take = count < size_t(source->remaining) ? count : size_t(source->remaining);
    if (take > 0) {
        std::memcpy(out, source->cursor, take);
        source->cursor += take;
        source->remaining -= int32_t(take);
    }
    RefuseOverlongChunk(png, out, count, uint64_t(source->remaining));
}

// libpng's own file reading, which also knows how much of the file is left.
void ReadFromFile(png_structp png, png_bytep out, png_size_t count)
{
    auto* source = static_cast<FileSource*>(png_get_io_ptr(png));
    if (std::fread(out, 1, count, source->file) != count) {
        png_error(png, "Read Error");
    }
    if (source->remaining >= 0) {
        source->remaining = source->remaining > int64_t(count) ? source->remaining - int64_t(count) : 0;
        RefuseOverlongChunk(png, out, count, uint64_t(source->remaining));
    }
}

// Everything the error jump may skip over lives here, outside the frame that
// calls setjmp, so a longjmp leaves nothing to unwind and cleanup sees the
// latest values.
struct DecodeState {
    uint64_t dataSize = 0; // bytes of the whole PNG, 0 when unknown
    png_structp png = nullptr;
    png_infop info = nullptr;
    RasterBitmap* destination = nullptr;
    RasterBitmap* created = nullptr;
    png_bytep* rows = nullptr;
    RasterBitmap* result = nullptr;
};

void RequestTransformations(png_structp png, png_infop info)
{
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
    int compression = 0;
    int filter = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, &compression, &filter);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) {
        png_set_tRNS_to_alpha(png);
        colorType |= PNG_COLOR_MASK_ALPHA;
    }
    if (bitDepth == 16) {
        png_set_strip_16(png);
    }
    if (bitDepth < 8) {
        png_set_packing(png);
    }
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    if ((colorType & PNG_COLOR_MASK_ALPHA) != 0) {
        png_set_swap_alpha(png);
    } else {
        png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
    }
}

// Rows arrive as the bytes A, R, G, B; the pixel value wants B, G, R, A in
// little-endian memory, so each word is byte-reversed in place.
void ArgbBytesToPixels(RasterBitmap& bitmap)
{
    int width = bitmap.Width();
    int height = bitmap.Height();
    int stride = bitmap.Stride();
    RasterPixel* first = bitmap.Pixels();
    for (int y = 0; y < height; ++y) {
        RasterPixel* row = first + ptrdiff_t(y) * stride;
        for (int x = 0; x < width; ++x) {
            row[x] = __builtin_bswap32(row[x]);
        }
    }
}

// Returns false when libpng reported an error; state then holds whatever was
// created so far. No object with a destructor may live in this frame.
bool ReadImage(DecodeState& state)
{
    if (setjmp(png_jmpbuf(state.png)) != 0) {
        return false;
    }
    png_read_info(state.png, state.info);
    png_uint_32 width = png_get_image_width(state.png, state.info);
    png_uint_32 height = png_get_image_height(state.png, state.info);
    if (width == 0 || height == 0 || width > INT_MAX || height > INT_MAX) {
        return false;
    }
    // Before the transformations the row size is the stored one; a header
    // that claims more than the data can hold must not allocate the bitmap.
    const uint64_t storedBytes = uint64_t(png_get_rowbytes(state.png, state.info)) * height;
    if (state.dataSize > 0 && storedBytes > state.dataSize * kMaxDeflateRatio) {
        return false;
    }
    RequestTransformations(state.png, state.info);
    RasterBitmap* bitmap = state.destination;
    if (bitmap != nullptr) {
        bitmap->SetSize(int(width), int(height));
    } else {
        bitmap = state.created = new (std::nothrow) RasterMemBitmap(int(width), int(height));
        if (bitmap == nullptr) {
            return false;
        }
    }
    if (bitmap->Width() != int(width) || bitmap->Height() != int(height) || bitmap->Pixels() == nullptr) {
        return false;
    }
    state.rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (state.rows == nullptr) {
        return false;
    }
    const BitmapLayout layout = BitmapLayout::Of(*bitmap);
    for (png_uint_32 y = 0; y < height; ++y) {
        state.rows[y] = reinterpret_cast<png_bytep>(layout.Row(int(y)));
    }
    png_read_image(state.png, state.rows);
    state.result = bitmap;
    return true;
}

// The decoding shared by both sources: exactly one of file and memory is set.
// Closes the file in every case.
RasterBitmap* Decode(FileSource* file, MemorySource* memory, RasterBitmap* destination)
{
    DecodeState state;
    state.destination = destination;
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (state.png != nullptr) {
        state.info = png_create_info_struct(state.png);
    }
    bool ok = false;
    if (state.info != nullptr) {
        png_set_chunk_malloc_max(state.png, kChunkMemoryLimit);
        if (file != nullptr) {
            state.dataSize = file->remaining > 0 ? uint64_t(file->remaining) : 0;
            png_set_read_fn(state.png, file, ReadFromFile);
        } else {
            state.dataSize = uint64_t(memory->remaining);
            png_set_read_fn(state.png, memory, ReadFromMemory);
        }
        ok = ReadImage(state);
    }
    png_destroy_read_struct(state.png != nullptr ? &state.png : nullptr, state.info != nullptr ? &state.info : nullptr,
                            nullptr);
    if (file != nullptr) {
        std::fclose(file->file);
    }
    std::free(state.rows);
    if (!ok) {
        delete state.created;
        return nullptr;
    }
    ArgbBytesToPixels(*state.result);
    return state.result;
}

// Compares from the last '.', '/' or '\' (or the first character) onwards.
bool HasPngExtension(const char* fileName)
{
    const char* end = fileName + std::strlen(fileName);
    const char* start = fileName;
    for (const char* p = end; p > fileName;) {
        --p;
        if (*p == '\\' || *p == '.' || *p == '/') {
            start = p;
            break;
        }
    }
    if (end - start != 4) {
        return false;
    }
    const char* wanted = ".png";
    for (int i = 0; i < 4; ++i) {
        char c = start[i];
        if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        }
        if (c != wanted[i]) {
            return false;
        }
    }
    return true;
}

ImageLoaderEntry pngLoaderEntry = {DecodePngFile, PngFilterText, nullptr};

// Pushes the PNG loader during static initialisation.
[[maybe_unused]] const bool pngLoaderRegistered = [] {
    pngLoaderEntry.next = imageLoaderList;
    imageLoaderList = &pngLoaderEntry;
    return true;
}();

} // namespace

RasterBitmap* DecodePngMemory(const void* data, int size, RasterBitmap* destination)
{
    if (data == nullptr || size < 8 || std::memcmp(data, pngSignature, 8) != 0) {
        return nullptr;
    }
    MemorySource source = {static_cast<const unsigned char*>(data), int32_t(size)};
    return Decode(nullptr, &source, destination);
}

RasterBitmap* DecodePngFile(const char* fileName, bool checkExtension, RasterBitmap* destination)
{
    if (fileName == nullptr || (checkExtension && !HasPngExtension(fileName))) {
        return nullptr;
    }
    // Linux file names are bytes: the UTF-8 name opens as it is.
    FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) {
        return nullptr;
    }
    struct stat info {};
    FileSource source = {file, -1};
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode)) {
        source.remaining = int64_t(info.st_size);
    }
    return Decode(&source, nullptr, destination);
}

RasterBitmap* DecodePngResource(const ResourceModule* module, int id)
{
    const ResourceEntry* resource = FindResource(module, id & 0xFFFF, "PNG");
    if (resource == nullptr || resource->data == nullptr || resource->size < 8 || resource->size > size_t(INT_MAX)) {
        return nullptr;
    }
    return DecodePngMemory(resource->data, int(resource->size), nullptr);
}

const char* PngFilterText()
{
    return "PNG files (*.PNG)\0*.PNG\0";
}
