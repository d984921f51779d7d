#include "lv2/HostBlockLength.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstring>

int32_t HostBlockLength(const LV2_Feature* const* features)
{
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (const LV2_Feature* const* f = features; f != nullptr && *f != nullptr; ++f) {
        if (std::strcmp((*f)->URI, LV2_URID__map) == 0) {
            map = static_cast<const LV2_URID_Map*>((*f)->data);
        } else if (std::strcmp((*f)->URI, LV2_OPTIONS__options) == 0) {
            options = static_cast<const LV2_Options_Option*>((*f)->data);
        }
    }
    if (map == nullptr || map->map == nullptr || options == nullptr) {
        return 0;
    }
    const LV2_URID maxKey = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID nominalKey = map->map(map->handle, LV2_BUF_SIZE__nominalBlockLength);
    const LV2_URID intType = map->map(map->handle, LV2_ATOM__Int);
    int32_t maximum = 0;
    int32_t nominal = 0;
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
        if (o->type != intType || o->size != sizeof(int32_t) || o->value == nullptr) {
            continue;
        }
        int32_t v = 0;
        std::memcpy(&v, o->value, sizeof v);
        if (o->key == maxKey) {
            maximum = v;
        } else if (o->key == nominalKey) {
            nominal = v;
        }
    }
    if (maximum > 0) {
        return maximum;
    }
    return nominal > 0 ? nominal : 0;
}
