#pragma once

#include <QObject>

class QAccessibleEvent;
class QMenuBar;

// Qt's bar, moving from one open menu to the next (Right, Left, the mouse),
// gives the window's focus back to the key that held it once the next menu
// is already open. That brings no focus event, only an accessibility one,
// and a screen reader announces the key instead of the menu. While a menu
// is open the keyboard is the menu's, so the announcement is dropped then;
// the focus stays where Qt puts it, and so does each key's look.
class MenuBarFocus : public QObject {
public:
    // Watches the menus the bar holds now.
    explicit MenuBarFocus(QMenuBar& bar);
    ~MenuBarFocus() override;

private:
    static void update(QAccessibleEvent* event);
    void listen();
    void stopListening();
};
