#include "standalone/SingleInstanceLock.h"

#include <glib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SingleInstanceLock::~SingleInstanceLock()
{
    Release();
}

bool SingleInstanceLock::Acquire(const char* folder, const char* name)
{
    if (fd >= 0) {
        return true;
    }
    path = std::string(folder != nullptr ? folder : g_get_user_runtime_dir()) + "/" + name + ".lock";
    const int file = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (file < 0) {
        std::fprintf(stderr, "Snarlbox: cannot open the instance lock %s: %s\n", path.c_str(), std::strerror(errno));
        return true;
    }
    if (flock(file, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(file);
        if (error == EWOULDBLOCK) {
            return false;
        }
        std::fprintf(stderr, "Snarlbox: cannot lock %s: %s\n", path.c_str(), std::strerror(error));
        return true;
    }
    fd = file;
    return true;
}

void SingleInstanceLock::Release()
{
    if (fd >= 0) {
        flock(fd, LOCK_UN);
        close(fd);
        fd = -1;
    }
}
