#pragma once

#include <QAccessibleInterface>

// Menus whose every entry is checkable, such as the device and channel
// menus, and their entries: each entry is a choice that is checked or not.
// Qt presents such an entry as a plain menu item, and its bridge to AT-SPI
// passes on "checked" but drops "checkable", so a screen reader hears the
// other entries as commands. A radio button it reads as selected or not.
// The interface for `object` (of class `className`), or null for others.
QAccessibleInterface* makeChoiceInterface(const QString& className, QObject* object);
