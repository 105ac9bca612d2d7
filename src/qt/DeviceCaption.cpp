#include "qt/DeviceCaption.h"

QString deviceCaption(const std::string& name)
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
