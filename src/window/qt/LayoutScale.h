#pragma once

#include <vector>

#include <QFont>
#include <QRect>
#include <QSize>

#include "window/qt/TwipsPixels.h"

class QWidget;

// Lays a client area out at one uniform scale, every control and font alike,
// for a screen whose available area cannot hold it at its own size.
class LayoutScale {
public:
    LayoutScale(QWidget& client, TwipsRect clientTwips);

    double scale() const { return scale_; }
    // Lays the client area out at the largest scale, at most 1, at which
    // `window` fits into `available`, frame and menu bar included. True when
    // that changed the scale.
    bool fitWindow(const QWidget& window, QSize available);
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
