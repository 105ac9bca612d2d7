#pragma once

#include <cstdint>
#include <functional>
#include <vector>

class ChoiceMenu;
class QAction;
class QMenu;
class QMenuBar;
struct MenuEntry;

// A Qt menu of the menu bar that shows a ChoiceMenu: each entry a checkable
// action whose clicks go to `clicked` with the entry's index.
class CheckMenu {
public:
    CheckMenu(QMenuBar& bar, const ChoiceMenu& model, std::function<void(int16_t)> clicked);

    QMenu* menu() const { return menu_; }
    QAction* entry(int index) const { return entries_[static_cast<size_t>(index)]; }
    int size() const { return static_cast<int>(entries_.size()); }

    void show(int index, const MenuEntry& entry);

private:
    QMenu* menu_;
    std::vector<QAction*> entries_;
};
