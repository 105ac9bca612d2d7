#pragma once

#include <QScrollBar>

#include "window/BarRange.h"

// The vertical velocity bar: a Qt scroll bar, which keeps its minimum at the
// top, showing a value that may run the other way.
class VelocityBar : public QScrollBar {
    Q_OBJECT
public:
    explicit VelocityBar(QWidget* parent);

    // `top` is the value with the thumb at the top, `bottom` at the bottom.
    void setVelocityRange(int top, int bottom);
    int velocity() const { return range_.valueAt(value()); }
    void setVelocity(int velocity) { setValue(range_.placeOf(velocity)); }

signals:
    void velocityChanged(int velocity);

private:
    BarRange range_;
};
