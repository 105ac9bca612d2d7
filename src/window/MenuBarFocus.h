#pragma once

#include <QObject>
#include <QPointer>

class QMenuBar;
class QWidget;

// While a menu of the bar is open the bar holds the window's focus, as it
// does when Qt's own keyboard navigation (Alt) enters it, and it hands the
// focus back once the bar is left. Otherwise the focus stays with a key:
// each time Qt's bar moves from one open menu to the next (Right, Left, the
// mouse) it gives the focus back to that key while the next menu is already
// open, and a screen reader announces the key instead of the menu.
class MenuBarFocus : public QObject {
public:
    // Watches the menus the bar holds now.
    explicit MenuBarFocus(QMenuBar& bar);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void holdFocus();
    void handBackLater();
    void handBack();

    QMenuBar& bar_;
    QPointer<QWidget> owner_; // had the focus before the menus opened
};
