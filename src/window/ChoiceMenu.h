#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What one entry of a menu shows.
struct MenuEntry {
    std::string caption; // UTF-8
    bool visible = false;
    bool enabled = false;
    bool checked = false;
};

// A caption as both toolkits' menus show it: a runaway name shortened to 60
// characters with an ellipsis in its middle, so that it cannot stretch the
// menu across the screen, and each '&' doubled, since a single one would mark
// the next letter as a shortcut key.
std::string menuText(const std::string& caption);

// The two menus of the menu bar, in their order there.
enum class MenuName { midi_devices, channeloption };

class FormView;

// A menu whose entries are choices. It keeps what each entry shows and tells
// the window of every change. An entry without a caption stays hidden until
// it is shown.
class ChoiceMenu {
public:
    ChoiceMenu(MenuName name, std::string title, std::vector<std::string> captions, FormView& view);

    MenuName name() const { return name_; }
    const std::string& title() const { return title_; }
    int16_t size() const { return static_cast<int16_t>(entries_.size()); }
    const MenuEntry& entry(int16_t index) const { return entries_[static_cast<size_t>(index)]; }

    // Gives the entry its caption, then makes it visible, then enabled.
    void show(int16_t index, std::string caption);
    // An index outside the menu has no mark to set or clear.
    void setChecked(int16_t index, bool checked);

private:
    MenuName name_;
    std::string title_;
    std::vector<MenuEntry> entries_;
    FormView& view_;
};
