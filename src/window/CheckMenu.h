#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QStringList>

class QAction;
class QMenu;
class QMenuBar;

// A menu of the menu bar whose entries are choices, one of them checked.
// An entry without a caption stays hidden until it is given one.
class CheckMenu {
public:
    CheckMenu(QMenuBar& bar, const QString& title, const QStringList& captions,
        std::function<void(int16_t)> clicked);

    QMenu* menu() const { return menu_; }
    QAction* entry(int index) const { return entries_[static_cast<size_t>(index)]; }
    int size() const { return static_cast<int>(entries_.size()); }

    void show(int index, const QString& caption);
    void check(int index);

private:
    QMenu* menu_;
    std::vector<QAction*> entries_;
};
