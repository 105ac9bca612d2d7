#pragma once

#include <QLabel>
#include <QPushButton>

#include "window/Controls.h"
#include "window/qt/TwipsPixels.h"

// Controls placed by their twips rectangle, with their caption and font.
QLabel* makeLabel(QWidget* parent, const Control& control);
QPushButton* makeButton(QWidget* parent, const Control& control);
