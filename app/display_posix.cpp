// The display on Linux and other POSIX systems: a window needs a display server, or a Qt
// platform such as offscreen, named in the environment; without one, Qt would abort.
#include <cstdlib>
#include <initializer_list>

#include "app/application_setup.h"

bool hasDisplay() {
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char *value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}
