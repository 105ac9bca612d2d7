#pragma once

#include <QKeyEvent>

#include "window/ComputerKey.h"

// A Qt key event as the keyboard window's rules read it: its physical key
// as a PC scan code, its character and its shift state.
ComputerKey computerKeyOf(const QKeyEvent& event);
