#pragma once

#include <QLabel>
#include <QPushButton>

#include "qt/TwipsPixels.h"

// Controls placed by their twips rectangle, with a font of the given family
// and size at normal weight.
QLabel* makeLabel(QWidget* parent, const QString& text, const QString& family, double points, TwipsRect rect);
QPushButton* makeButton(
    QWidget* parent, const QString& text, const QString& family, double points, TwipsRect rect);
