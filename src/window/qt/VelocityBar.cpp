#include "window/qt/VelocityBar.h"

VelocityBar::VelocityBar(QWidget* parent)
    : QScrollBar(Qt::Vertical, parent)
{
    setSingleStep(1);
    setPageStep(10);
    setFocusPolicy(Qt::StrongFocus);
    // Qt's own scroll menu (English, and modal) has no place on this bar.
    setContextMenuPolicy(Qt::NoContextMenu);
    // The velocity follows the thumb when a drag ends, not while it moves.
    setTracking(false);
    connect(this, &QScrollBar::valueChanged, this, [this] { emit velocityChanged(velocity()); });
}

void VelocityBar::setVelocityRange(int top, int bottom)
{
    range_ = { top, bottom };
    setRange(0, range_.span());
}
