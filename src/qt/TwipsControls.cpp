#include "qt/TwipsControls.h"

namespace {

void place(QWidget* control, const QString& family, double points, TwipsRect rect)
{
    QFont font(family);
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    control->setFont(font);
    control->setGeometry(toPixels(rect));
}

} // namespace

QLabel* makeLabel(QWidget* parent, const QString& text, const QString& family, double points, TwipsRect rect)
{
    auto* label = new QLabel(text, parent);
    place(label, family, points, rect);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* makeButton(
    QWidget* parent, const QString& text, const QString& family, double points, TwipsRect rect)
{
    auto* button = new QPushButton(text, parent);
    place(button, family, points, rect);
    return button;
}
