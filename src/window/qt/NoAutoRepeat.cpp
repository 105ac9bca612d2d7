#include "window/qt/AutoRepeat.h"

// Built without X11: no server to ask for detectable auto-repeat.
bool useDetectableAutoRepeat()
{
    return false;
}
