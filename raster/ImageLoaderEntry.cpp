#include "raster/ImageLoaderEntry.h"

// Constant-initialised, so entries registering from other translation units'
// static initialisers always find it ready.
constinit ImageLoaderEntry* imageLoaderList = nullptr;
