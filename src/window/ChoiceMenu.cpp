#include "window/ChoiceMenu.h"

#include <algorithm>

#include "window/FormView.h"

namespace {

// A UTF-8 character starts at every byte that does not continue one.
bool startsCharacter(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

// The UTF-8 text of `text`'s characters [first, first + count).
std::string characters(const std::string& text, size_t first, size_t count)
{
    size_t seen = 0;
    std::string part;
    for (char byte : text) {
        if (startsCharacter(byte))
            ++seen;
        if (seen > first && seen <= first + count)
            part += byte;
    }
    return part;
}

} // namespace

std::string menuText(const std::string& caption)
{
    constexpr size_t longest = 60;
    const auto length = static_cast<size_t>(std::count_if(caption.begin(), caption.end(), startsCharacter));
    const std::string shown = length <= longest ? caption
                                                : characters(caption, 0, longest / 2) + "\u2026"
            + characters(caption, length - (longest / 2 - 1), longest / 2 - 1);
    std::string text;
    for (char byte : shown)
        text += byte == '&' ? std::string("&&") : std::string(1, byte);
    return text;
}

ChoiceMenu::ChoiceMenu(MenuName name, std::string title, std::vector<std::string> captions, FormView& view)
    : name_(name)
    , title_(std::move(title))
    , view_(view)
{
    for (auto& caption : captions) {
        const bool shown = !caption.empty();
        entries_.push_back({ std::move(caption), shown, shown, false });
    }
}

void ChoiceMenu::show(int16_t index, std::string caption)
{
    MenuEntry& e = entries_[static_cast<size_t>(index)];
    e.caption = std::move(caption);
    e.visible = true;
    e.enabled = true;
    view_.showEntry(name_, index, e);
}

void ChoiceMenu::setChecked(int16_t index, bool checked)
{
    if (index < 0 || index >= size())
        return;
    entries_[static_cast<size_t>(index)].checked = checked;
    view_.showEntry(name_, index, entry(index));
}
