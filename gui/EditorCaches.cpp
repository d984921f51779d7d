#include "gui/EditorCaches.h"

#include "gui/BitmapCache.h"
#include "gui/FontCache.h"

#include <mutex>

namespace {
std::mutex usersLock;
int users = 0; // editors alive in the process
} // namespace

void RetainEditorCaches()
{
    std::lock_guard<std::mutex> guard(usersLock);
    ++users;
}

void ReleaseEditorCaches()
{
    std::lock_guard<std::mutex> guard(usersLock);
    if (users > 0 && --users == 0) {
        BitmapCache::Instance().Clear();
        FontCache::Instance().Clear();
    }
}
