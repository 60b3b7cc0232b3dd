// The display on Windows: every session that can start a program has its desktop.
#include "app/application_setup.h"

bool hasDisplay() {
    return true;
}
