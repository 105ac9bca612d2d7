#pragma once

#include <array>
#include <cstddef>

#include "window/KeyGrid.h"

// The keys in the order they lie on each other, the lowest first: the white
// keys, then the black keys above them; of keys of one colour, each lies above
// those before it, so that of two overlapping white keys the right-hand one shows.
constexpr std::array<int, keyGrid.size()> stackingOrder = [] {
    std::array<int, keyGrid.size()> order {};
    size_t next = 0;
    for (KeyKind kind : { KeyKind::White, KeyKind::Black })
        for (const auto& key : keyGrid)
            if (key.kind == kind)
                order[next++] = key.index;
    return order;
}();

// A control that Tab reaches: the velocity bar, a key button, or the demo button.
struct TabStop {
    enum class Control { vol, key, Command2 } control;
    int keyIndex = 0;
};

// The order Tab moves the focus in, Shift+Tab back: the velocity bar, the keys
// by index, then the demo button. It is not the stacking order.
constexpr std::array<TabStop, keyGrid.size() + 2> tabOrder = [] {
    std::array<TabStop, keyGrid.size() + 2> order {};
    order.front() = { TabStop::Control::vol };
    for (const auto& key : keyGrid)
        order[static_cast<size_t>(key.index) + 1] = { TabStop::Control::key, key.index };
    order.back() = { TabStop::Control::Command2 };
    return order;
}();
