#include "platform/Resources.h"

// make_images runs before the images exist, so it has no embedded resources.
const ResourceModule* ProgramModule()
{
    static const ResourceModule none = {nullptr, 0};
    return &none;
}
