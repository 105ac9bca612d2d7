#pragma once

#include <string>
#include <vector>

#include <QImage>
#include <QPoint>

// Checks a picture of the keyboard window against the key grid, pixel by
// pixel: at scale s every key must cover exactly its rectangle times s, with
// a frame s device pixels wide, its face colour inside and the window's
// background around it. Returns what disagrees (empty when all is well).
std::vector<std::string> keyRectangleFaults(const QImage& window, int scale);

// Where the client area starts in a picture of the whole window: it fills
// the window below the menu bar.
QPoint clientOrigin(const QImage& window, int scale);
