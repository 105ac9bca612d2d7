#include "window/qt/TwipsControls.h"

namespace {

void place(QWidget* control, const Control& c)
{
    QFont font(QString::fromUtf8(c.font.family));
    font.setPointSizeF(c.font.points);
    font.setWeight(QFont::Normal);
    control->setFont(font);
    control->setGeometry(toPixels(c.rect));
}

} // namespace

QLabel* makeLabel(QWidget* parent, const Control& control)
{
    auto* label = new QLabel(QString::fromUtf8(control.caption), parent);
    place(label, control);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* makeButton(QWidget* parent, const Control& control)
{
    auto* button = new QPushButton(QString::fromUtf8(control.caption), parent);
    place(button, control);
    return button;
}
