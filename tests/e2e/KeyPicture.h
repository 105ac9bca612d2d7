#pragma once

#include <string>
#include <vector>

#include <QImage>
#include <QPoint>
#include <QRect>

// Checks a picture of the keyboard window against the key grid, pixel by
// pixel: at scale s every key must cover exactly its rectangle times s, with
// a frame s device pixels wide, its face colour inside and the window's
// background around it. Returns what disagrees (empty when all is well).
std::vector<std::string> keyRectangleFaults(const QImage& window, int scale);

// Where the client area starts in a picture of the whole window: it fills
// the window below the menu bar.
QPoint clientOrigin(const QImage& window, int scale);

// The English label's area, in device pixels of a picture of the whole window.
QRect labelArea(const QImage& window, int scale);

// Share of 2x2 blocks with ink whose four pixels differ: a picture enlarged
// from one of half the size has none.
double detailedBlockShare(const QImage& picture, QRect area);
