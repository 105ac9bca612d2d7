#include "window/qt/KeyCode.h"

#include <array>

#include <QChar>

#include "window/KeyMap.h"

namespace {

struct PhysicalKey {
    quint32 native;
    int16_t keyCode;
};

// Where the four punctuation keys and the letters of a US layout sit, in the
// platform's own numbering.
#if defined(Q_OS_WIN)
// Windows hands out these virtual keys itself, letters by position in layouts
// of other scripts.
constexpr std::array<PhysicalKey, 4> punctuation { { { 186, vk::semicolon }, { 188, vk::comma },
    { 190, vk::period }, { 191, vk::slash } } };
constexpr std::array<PhysicalKey, 26> letters = [] {
    std::array<PhysicalKey, 26> keys {};
    for (int16_t i = 0; i < 26; ++i)
        keys[static_cast<size_t>(i)] = { static_cast<quint32>('A' + i), static_cast<int16_t>('A' + i) };
    return keys;
}();
quint32 nativeCodeOf(const QKeyEvent& event)
{
    return event.nativeVirtualKey();
}
#elif defined(Q_OS_MACOS)
// kVK_ANSI_Semicolon, _Comma, _Period, _Slash, and kVK_ANSI_A to _Z.
constexpr std::array<PhysicalKey, 4> punctuation { { { 0x29, vk::semicolon }, { 0x2B, vk::comma },
    { 0x2F, vk::period }, { 0x2C, vk::slash } } };
constexpr std::array<PhysicalKey, 26> letters { {
    { 0x00, 'A' },
    { 0x0B, 'B' },
    { 0x08, 'C' },
    { 0x02, 'D' },
    { 0x0E, 'E' },
    { 0x03, 'F' },
    { 0x05, 'G' },
    { 0x04, 'H' },
    { 0x22, 'I' },
    { 0x26, 'J' },
    { 0x28, 'K' },
    { 0x25, 'L' },
    { 0x2E, 'M' },
    { 0x2D, 'N' },
    { 0x1F, 'O' },
    { 0x23, 'P' },
    { 0x0C, 'Q' },
    { 0x0F, 'R' },
    { 0x01, 'S' },
    { 0x11, 'T' },
    { 0x20, 'U' },
    { 0x09, 'V' },
    { 0x0D, 'W' },
    { 0x07, 'X' },
    { 0x10, 'Y' },
    { 0x06, 'Z' },
} };
quint32 nativeCodeOf(const QKeyEvent& event)
{
    return event.nativeVirtualKey();
}
#else
// XKB key codes (evdev + 8), shared by X11 and Wayland.
constexpr std::array<PhysicalKey, 4> punctuation { { { 47, vk::semicolon }, { 59, vk::comma },
    { 60, vk::period }, { 61, vk::slash } } };
constexpr std::array<PhysicalKey, 26> letters { {
    { 38, 'A' },
    { 56, 'B' },
    { 54, 'C' },
    { 40, 'D' },
    { 26, 'E' },
    { 41, 'F' },
    { 42, 'G' },
    { 43, 'H' },
    { 31, 'I' },
    { 44, 'J' },
    { 45, 'K' },
    { 46, 'L' },
    { 58, 'M' },
    { 57, 'N' },
    { 32, 'O' },
    { 33, 'P' },
    { 24, 'Q' },
    { 27, 'R' },
    { 39, 'S' },
    { 28, 'T' },
    { 30, 'U' },
    { 55, 'V' },
    { 25, 'W' },
    { 53, 'X' },
    { 29, 'Y' },
    { 52, 'Z' },
} };
quint32 nativeCodeOf(const QKeyEvent& event)
{
    return event.nativeScanCode();
}
#endif

int16_t codeAt(quint32 native, const auto& keys)
{
    for (const auto& p : keys)
        if (native != 0 && p.native == native)
            return p.keyCode;
    return 0;
}

// A letter of a layout for another script (Russian, Greek, ...), which has no Latin letters.
bool isOtherScriptsLetter(int key)
{
    if (key <= 0 || key > 0xFFFF)
        return false;
    const QChar c(static_cast<char16_t>(key));
    return c.isLetter() && c.script() != QChar::Script_Latin;
}

} // namespace

int16_t keyCodeOf(const QKeyEvent& event)
{
    const int key = event.key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<int16_t>(key); // Qt's letter codes are the capitals' ASCII codes
    const quint32 native = nativeCodeOf(event);
    if (const int16_t code = codeAt(native, punctuation))
        return code;
    if (isOtherScriptsLetter(key))
        return codeAt(native, letters);
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
