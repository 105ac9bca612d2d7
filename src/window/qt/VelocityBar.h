#pragma once

#include <QScrollBar>

// The vertical velocity bar: 127 at the top, 0 at the bottom. A Qt scroll bar
// keeps its minimum at the top, and flipping only its look leaves the arrows
// and trough clicks pointing the other way; so the bar itself runs downwards
// as Qt's always do, and the velocity is its value read from the bottom.
class VelocityBar : public QScrollBar {
    Q_OBJECT
public:
    explicit VelocityBar(QWidget* parent);

    int velocity() const { return minimum() + maximum() - value(); }
    void setVelocity(int velocity) { setValue(minimum() + maximum() - velocity); }

signals:
    void velocityChanged(int velocity);
};
