#include "killpoint.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

void KillPoint(const char* step)
{
    const char* wanted = std::getenv("QUILL_KILL_AT");
    if (!wanted)
        return;
    const std::size_t length = std::strlen(step);
    if (std::strncmp(wanted, step, length) != 0)
        return;
    const char* rest = wanted + length;
    if (*rest == '\0')
        std::raise(SIGKILL);
    else if (std::strcmp(rest, ":TERM") == 0)
        std::raise(SIGTERM);
}
