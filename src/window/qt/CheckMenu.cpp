#include "window/qt/CheckMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "window/ChoiceMenu.h"

namespace {

// A port's name as an entry shows it.
QString captionOf(const std::string& name)
{
    QString caption = QString::fromStdString(name);
    // A runaway name must not stretch the menu across the screen.
    constexpr qsizetype longestName = 60;
    if (caption.size() > longestName)
        caption = caption.left(longestName / 2) + QChar(0x2026) + caption.right(longestName / 2 - 1);
    // '&' is a letter, not a shortcut marker.
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return caption;
}

} // namespace

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
    e->setText(captionOf(shown.caption));
    e->setVisible(shown.visible);
    e->setEnabled(shown.enabled);
    e->setChecked(shown.checked);
}
