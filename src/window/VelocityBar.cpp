#include "window/VelocityBar.h"

VelocityBar::VelocityBar(QWidget* parent)
    : QScrollBar(Qt::Vertical, parent)
{
    connect(this, &QScrollBar::valueChanged, this, [this] { emit velocityChanged(velocity()); });
}
