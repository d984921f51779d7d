#include "platform/Resources.h"

#include <cstring>

const ResourceEntry* FindResource(const ResourceModule* module, int id, const char* type)
{
    if (module == nullptr) {
        module = ProgramModule();
    }
    if (module == nullptr || type == nullptr) {
        return nullptr;
    }
    for (size_t i = 0; i < module->count; ++i) {
        const ResourceEntry& entry = module->entries[i];
        if (entry.id == id && std::strcmp(entry.type, type) == 0) {
            return &entry;
        }
    }
    return nullptr;
}

const ResourceEntry* FindResource(int id, const char* type)
{
    return FindResource(nullptr, id, type);
}
