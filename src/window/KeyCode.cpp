#include "window/KeyCode.h"

#include <array>

#include "window/KeyMap.h"

namespace {

struct PhysicalKey {
    quint32 native;
    int16_t keyCode;
};

// Where the four punctuation keys sit, in the platform's own numbering.
#if defined(Q_OS_WIN)
// Windows hands out these virtual keys itself.
constexpr std::array<PhysicalKey, 4> punctuation {
    {{186, vk::semicolon}, {188, vk::comma}, {190, vk::period}, {191, vk::slash}}};
quint32 nativeCodeOf(const QKeyEvent& event)
{
    return event.nativeVirtualKey();
}
#elif defined(Q_OS_MACOS)
// kVK_ANSI_Semicolon, _Comma, _Period, _Slash.
constexpr std::array<PhysicalKey, 4> punctuation {
    {{0x29, vk::semicolon}, {0x2B, vk::comma}, {0x2F, vk::period}, {0x2C, vk::slash}}};
quint32 nativeCodeOf(const QKeyEvent& event)
{
    return event.nativeVirtualKey();
}
#else
// XKB key codes (evdev + 8), shared by X11 and Wayland.
constexpr std::array<PhysicalKey, 4> punctuation {
    {{47, vk::semicolon}, {59, vk::comma}, {60, vk::period}, {61, vk::slash}}};
quint32 nativeCodeOf(const QKeyEvent& event)
{
    return event.nativeScanCode();
}
#endif

} // namespace

int16_t keyCodeOf(const QKeyEvent& event)
{
    const int key = event.key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<int16_t>(key); // Qt's letter codes are the capitals' ASCII codes
    const quint32 native = nativeCodeOf(event);
    for (const auto& p : punctuation)
        if (native != 0 && p.native == native)
            return p.keyCode;
    return 0;
}

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
