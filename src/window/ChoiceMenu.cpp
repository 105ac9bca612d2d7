#include "window/ChoiceMenu.h"

#include "window/FormView.h"

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
