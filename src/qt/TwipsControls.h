#pragma once

#include <QLabel>
#include <QPushButton>

#include "qt/TwipsPixels.h"
#include "window/Controls.h"

// Controls placed by their twips rectangle, with their caption and font.
QLabel* makeLabel(QWidget* parent, const Control& control);
QPushButton* makeButton(QWidget* parent, const Control& control);
