#pragma once

class RasterBitmap;

// One file-image decoder in the process-wide loader list. Entries push
// themselves during static initialisation and are never removed, so the list
// may be read from any thread once main has started.
struct ImageLoaderEntry {
    RasterBitmap* (*decodeFile)(const char* fileName, bool checkExtension, RasterBitmap* destination);
    // Double-NUL-terminated description and pattern pair for an open dialog.
    const char* (*filterText)();
    ImageLoaderEntry* next;
};

// The most recently registered entry, or null.
extern ImageLoaderEntry* imageLoaderList;
