#include "window/CheckMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

CheckMenu::CheckMenu(
    QMenuBar& bar, const QString& title, const QStringList& captions, std::function<void(int16_t)> clicked)
    : menu_(bar.addMenu(title))
{
    for (qsizetype i = 0; i < captions.size(); ++i) {
        // Checkable before it joins the menu, so that it is a choice from the first.
        auto* entry = new QAction(captions[i], menu_);
        entry->setCheckable(true);
        menu_->addAction(entry);
        entry->setVisible(!captions[i].isEmpty());
        entry->setEnabled(!captions[i].isEmpty());
        QObject::connect(entry, &QAction::triggered, menu_,
            [clicked, index = static_cast<int16_t>(i)] { clicked(index); });
        entries_.push_back(entry);
    }
}

void CheckMenu::show(int index, const QString& caption)
{
    entry(index)->setText(caption);
    entry(index)->setVisible(true);
    entry(index)->setEnabled(true);
}

void CheckMenu::check(int index)
{
    for (QAction* entry : entries_)
        entry->setChecked(false);
    entry(index)->setChecked(true);
}
