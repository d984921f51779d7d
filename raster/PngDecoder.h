#pragma once

class RasterBitmap;
struct ResourceModule;

// PNG images decoded into 32-bit straight-alpha bitmaps (0xAARRGGBB, top row
// first, alpha 255 where the image has none). Every failure returns null and
// leaves no file open and nothing allocated. Any thread; each concurrent call
// needs its own destination. Not real-time safe (allocates, reads files).

// The "PNG" resource id (low 16 bits used) of module (null: the program's own
// resources). The caller owns the returned bitmap.
RasterBitmap* DecodePngResource(const ResourceModule* module, int id);

// size bytes at data. With a destination the image is decoded into it (it is
// resized to the image) and that pointer returned; otherwise a new
// RasterMemBitmap the caller owns. On a decoding error a given destination may
// have been resized and partly written.
RasterBitmap* DecodePngMemory(const void* data, int size, RasterBitmap* destination);

// A file named in UTF-8. With checkExtension the name must end in ".png"
// (any case) after its last '.', '/' or '\', or null is returned without
// opening anything. Same destination rule as DecodePngMemory.
RasterBitmap* DecodePngFile(const char* fileName, bool checkExtension, RasterBitmap* destination);

// The PNG loader's open-dialog filter: "PNG files (*.PNG)\0*.PNG\0\0".
const char* PngFilterText();
