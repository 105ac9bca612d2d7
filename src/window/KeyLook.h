#pragma once

#include <algorithm>

#include "window/KeyGrid.h"

// How a key button looks, in every window: a frame one pixel wide (at the
// window's scale, never thinner than a device pixel) around a flat face in the
// key's colour, a darker face while a mouse button holds it, the caption in
// black, and the focus indicator a few pixels inside the frame.
struct Rgb {
    int red, green, blue;
};

// Held with the mouse, a key looks pushed in, as a button does (each channel
// about 15 % darker); keys played from the keyboard or by the demo keep their face.
struct KeyFace {
    Rgb normal;
    Rgb pushed;
};

namespace keyLook {

constexpr KeyFace white { { 255, 255, 255 }, { 222, 222, 222 } };
constexpr KeyFace black { { 255, 224, 192 }, { 222, 195, 167 } };
constexpr Rgb frame { 96, 96, 96 };
constexpr Rgb caption { 0, 0, 0 };
// In pixels at the window's scale: the frame's width, and how far inside the
// key's edge its focus indicator runs.
constexpr int frameWidth = 1;
constexpr int focusInset = 3;

constexpr Rgb faceOf(const KeyInfo& key, bool pushed)
{
    const KeyFace& face = key.kind == KeyKind::White ? white : black;
    return pushed ? face.pushed : face.normal;
}

// Twips from a key's top to the top of its caption's area, in which the
// caption is centred: a white key's lies below the black keys, which cover
// its upper part.
constexpr int captionTop(const KeyInfo& key)
{
    int band = 0;
    for (const auto& other : keyGrid)
        if (other.kind == KeyKind::Black)
            band = std::max(band, other.rect.height);
    return key.kind == KeyKind::White ? band : 0;
}

} // namespace keyLook
