#include "window/qt/AccessibleChoices.h"

#include <algorithm>

#include <QAccessibleWidget>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace {

// A menu of the menu bar whose entries are all checkable.
bool isChoiceMenu(const QMenu* menu)
{
    const QList<QAction*> entries = menu->actions();
    return qobject_cast<const QMenuBar*>(menu->parentWidget())
        && std::all_of(entries.begin(), entries.end(), [](const QAction* a) { return a->isCheckable(); });
}

class AccessibleChoice : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    AccessibleChoice(QAction* entry, QMenu* menu)
        : entry_(entry)
        , menu_(menu)
    {
    }

    bool isValid() const override { return entry_ && menu_; }
    QObject* object() const override { return entry_; }
    QWindow* window() const override { return menu_->windowHandle(); }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(menu_); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QRect rect() const override
    {
        return menu_->actionGeometry(entry_).translated(menu_->mapToGlobal(QPoint()));
    }
    QAccessible::Role role() const override { return QAccessible::RadioButton; }
    void setText(QAccessible::Text, const QString&) override { }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = !menu_->isVisible() || !entry_->isVisible();
        state.disabled = !entry_->isEnabled();
        state.focused = menu_->activeAction() == entry_;
        state.checkable = true;
        state.checked = entry_->isChecked();
        return state;
    }

    QString text(QAccessible::Text type) const override
    {
        if (type != QAccessible::Name)
            return {};
        // "&&" stands for "&", a single "&" marks a shortcut letter.
        const QString caption = entry_->text();
        QString name;
        for (qsizetype i = 0; i < caption.size(); ++i) {
            if (caption[i] == QLatin1Char('&') && ++i == caption.size())
                break;
            name += caption[i];
        }
        return name;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return { pressAction() }; }
    void doAction(const QString& name) override
    {
        if (name == pressAction() && entry_->isEnabled())
            entry_->trigger();
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QAction> entry_;
    QPointer<QMenu> menu_;
};

// Qt's own menu finds its entries by their menu item role, so a menu of
// choices needs one that knows them as radio buttons.
class AccessibleChoiceMenu : public QAccessibleWidget {
public:
    explicit AccessibleChoiceMenu(QMenu* menu)
        : QAccessibleWidget(menu, QAccessible::PopupMenu)
    {
    }

    int childCount() const override { return static_cast<int>(shownEntries().size()); }
    QAccessibleInterface* child(int index) const override
    {
        return QAccessible::queryAccessibleInterface(shownEntries().value(index));
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return static_cast<int>(shownEntries().indexOf(qobject_cast<QAction*>(child->object())));
    }
    // The menu's title on the menu bar, as for Qt's own menus.
    QAccessibleInterface* parent() const override
    {
        if (auto* bar = qobject_cast<QMenuBar*>(menu()->parentWidget())) {
            const auto index = bar->actions().indexOf(menu()->menuAction());
            if (QAccessibleInterface* barInterface = QAccessible::queryAccessibleInterface(bar);
                barInterface && index >= 0)
                return barInterface->child(static_cast<int>(index));
        }
        return QAccessibleWidget::parent();
    }

private:
    QMenu* menu() const { return static_cast<QMenu*>(object()); }
    // Entries kept hidden (device slots with no port) are no choice at all.
    QList<QAction*> shownEntries() const
    {
        QList<QAction*> shown = menu()->actions();
        shown.removeIf([](const QAction* entry) { return !entry->isVisible(); });
        return shown;
    }
};

} // namespace

QAccessibleInterface* makeChoiceInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String("QMenu") && isChoiceMenu(static_cast<QMenu*>(object)))
        return new AccessibleChoiceMenu(static_cast<QMenu*>(object));
    if (className == QLatin1String("QAction")) {
        auto* entry = static_cast<QAction*>(object);
        auto* menu = qobject_cast<QMenu*>(entry->parent());
        if (menu && entry->isCheckable() && isChoiceMenu(menu))
            return new AccessibleChoice(entry, menu);
    }
    return nullptr;
}
