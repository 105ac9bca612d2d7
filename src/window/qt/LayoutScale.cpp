#include "window/qt/LayoutScale.h"

#include <algorithm>

#include <QWidget>
#include <QWindow>

#include "window/ScreenFit.h"
#include "window/qt/KeyButton.h"

LayoutScale::LayoutScale(QWidget& client, TwipsRect clientTwips)
    : client_(client)
    , clientTwips_(clientTwips)
{
}

bool LayoutScale::fitWindow(const QWidget& window, QSize available)
{
    const QMargins frame = window.windowHandle() ? window.windowHandle()->frameMargins() : QMargins();
    const QSize client = toPixels(clientTwips_).size();
    const int menu = window.height() - client_.height();
    const double scale = fittingScale({ client.width(), client.height() },
        { frame.left() + frame.right(), frame.top() + frame.bottom() + menu },
        { available.width(), available.height() });
    if (scale == scale_)
        return false;
    setScale(scale);
    return true;
}

void LayoutScale::setScale(double scale)
{
    if (unscaled_.empty())
        for (QWidget* control : client_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            unscaled_.push_back({ control, control->geometry(), control->font() });
    for (const auto& [control, rect, font] : unscaled_) {
        if (auto* key = qobject_cast<KeyButton*>(control))
            key->setScale(scale);
        else
            control->setGeometry(toPixels(
                TwipsRect { rect.x() * 15, rect.y() * 15, rect.width() * 15, rect.height() * 15 }, scale));
        QFont scaled = font;
        scaled.setPointSizeF(font.pointSizeF() * scale);
        control->setFont(scaled);
    }
    scale_ = scale;
    client_.setFixedSize(toPixels(clientTwips_, scale).size());
}
