#include "window/qt/CheckMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "window/ChoiceMenu.h"

CheckMenu::CheckMenu(QMenuBar& bar, const ChoiceMenu& model, std::function<void(int16_t)> clicked)
    : menu_(bar.addMenu(QString::fromStdString(model.title())))
{
    for (int16_t i = 0; i < model.size(); ++i) {
        // Checkable before it joins the menu, so that it is a choice from the first.
        auto* entry = new QAction(menu_);
        entry->setCheckable(true);
        menu_->addAction(entry);
        QObject::connect(entry, &QAction::triggered, menu_, [clicked, i] { clicked(i); });
        entries_.push_back(entry);
        show(i, model.entry(i));
    }
}

void CheckMenu::show(int index, const MenuEntry& shown)
{
    QAction* e = entry(index);
    e->setText(QString::fromStdString(menuText(shown.caption)));
    e->setVisible(shown.visible);
    e->setEnabled(shown.enabled);
    e->setChecked(shown.checked);
}
