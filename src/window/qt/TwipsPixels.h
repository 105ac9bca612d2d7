#pragma once

#include <QRect>

#include "window/Twips.h"

// A twips rectangle in Qt's device-independent pixels, which Qt itself
// scales for HiDPI screens.
inline QRect toPixels(TwipsRect rect, double scale = 1.0)
{
    return QRect(QPoint(twipsToPixels(rect.left, scale), twipsToPixels(rect.top, scale)),
        QPoint(twipsToPixels(rect.right(), scale) - 1, twipsToPixels(rect.bottom(), scale) - 1));
}
