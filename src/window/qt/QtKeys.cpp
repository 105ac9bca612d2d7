#include "window/qt/QtKeys.h"

namespace {

int16_t shiftStateOf(Qt::KeyboardModifiers modifiers)
{
    int16_t state = 0;
    if (modifiers & Qt::ShiftModifier)
        state |= 1;
    if (modifiers & Qt::ControlModifier)
        state |= 2;
    if (modifiers & Qt::AltModifier)
        state |= 4;
    return state;
}

} // namespace

ComputerKey computerKeyOf(const QKeyEvent& event)
{
    // XKB key codes, on X11 and Wayland alike, are Linux's own key numbers
    // plus 8; those of the main block are the PC scan codes.
    const quint32 native = event.nativeScanCode();
    const auto physical = static_cast<uint16_t>(native > 8 ? native - 8 : 0);
    // Below Escape, Qt's key is the character on the key, a letter as its capital.
    const int key = event.key();
    const char32_t character = key > 0 && key < Qt::Key_Escape ? static_cast<char32_t>(key) : 0;
    return { physical, character, shiftStateOf(event.modifiers()) };
}
