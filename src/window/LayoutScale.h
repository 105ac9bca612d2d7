#pragma once

#include <vector>

#include <QFont>
#include <QMargins>
#include <QRect>
#include <QSize>

#include "window/Twips.h"

class QWidget;

// Lays a client area out at one uniform scale, every control and font alike,
// for a screen whose available area cannot hold it at its own size.
class LayoutScale {
public:
    LayoutScale(QWidget& client, TwipsRect clientTwips);

    double scale() const { return scale_; }
    // The largest scale, at most 1, at which the client area fits into
    // `available` with a window frame and a menu bar `menu` pixels high.
    double fitting(QSize available, QMargins frame, int menu) const;
    void setScale(double scale);

private:
    struct Unscaled {
        QWidget* control;
        QRect rect;
        QFont font;
    };
    QWidget& client_;
    TwipsRect clientTwips_;
    std::vector<Unscaled> unscaled_;
    double scale_ = 1.0;
};
