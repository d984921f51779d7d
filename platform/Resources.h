#pragma once

#include <cstddef>

// Resources the build compiles into the program from resources/img
// (resources/resources.cmake lists them). Read-only after static
// initialisation: any thread, no locks, no allocation.

// One embedded resource: its id, its type ("PNG", "ICON") and its bytes.
struct ResourceEntry {
    int id;
    const char* type;
    const unsigned char* data;
    size_t size;
};

// A set of resources, the stand-in for a module instance.
struct ResourceModule {
    const ResourceEntry* entries;
    size_t count;
};

// The program's own resources.
const ResourceModule* ProgramModule();

// The resource with this id and type (type compared exactly) in module, or in
// the program's resources when module is null; null when there is none.
const ResourceEntry* FindResource(const ResourceModule* module, int id, const char* type);
const ResourceEntry* FindResource(int id, const char* type);
