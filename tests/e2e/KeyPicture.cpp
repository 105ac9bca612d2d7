#include "KeyPicture.h"

#include <algorithm>

#include "window/KeyGrid.h"
#include "window/qt/KeyButton.h"
#include "window/qt/QtForm.h"

namespace {

enum class Part : unsigned char { Background, Frame, Face, Caption };

QRect deviceRect(const TwipsRect& twips, int scale)
{
    const QRect r = toPixels(twips);
    return QRect(r.x() * scale, r.y() * scale, r.width() * scale, r.height() * scale);
}

std::string describe(const char* what, int key, QPoint at, QRgb seen)
{
    return std::string(what) + (key >= 0 ? " of key " + std::to_string(key) : std::string()) + " at ("
        + std::to_string(at.x()) + "," + std::to_string(at.y()) + ") is " + QColor(seen).name().toStdString();
}

} // namespace

QPoint clientOrigin(const QImage& window, int scale)
{
    return QPoint(0, window.height() - toPixels(controls::client).height() * scale);
}

std::vector<std::string> keyRectangleFaults(const QImage& window, int scale)
{
    const QPoint origin = clientOrigin(window, scale);
    const QRect client(origin, toPixels(controls::client).size() * scale);
    if (origin.y() <= 0 || window.width() != client.width())
        return { "window of " + std::to_string(window.width()) + "x" + std::to_string(window.height())
            + " cannot hold the client area" };

    // What each client pixel should show, keys painted in the order they are stacked.
    std::vector<Part> part(static_cast<size_t>(client.width() * client.height()), Part::Background);
    std::vector<int> owner(part.size(), -1);
    auto at = [&](int x, int y) { return static_cast<size_t>(y * client.width() + x); };
    for (KeyKind kind : { KeyKind::White, KeyKind::Black }) {
        for (const auto& key : keyGrid) {
            if (key.kind != kind)
                continue;
            const QRect r = deviceRect(key.rect, scale);
            const QRect inner = r.adjusted(scale, scale, -scale, -scale);
            // Leave out a band where the caption's text may run.
            const int centre = r.top() + KeyButton::captionArea(key).center().y() * scale;
            for (int y = r.top(); y <= r.bottom(); ++y) {
                for (int x = r.left(); x <= r.right(); ++x) {
                    Part p = inner.contains(x, y) ? Part::Face : Part::Frame;
                    if (p == Part::Face && std::abs(y - centre) <= 14 * scale)
                        p = Part::Caption;
                    part[at(x, y)] = p;
                    owner[at(x, y)] = key.index;
                }
            }
        }
    }

    const QRgb frame = qRgb(96, 96, 96);
    const QRgb background = window.pixel(origin + QPoint(4, 4) * scale);
    std::vector<std::string> faults;
    auto fault = [&](std::string text) {
        if (faults.size() < 20)
            faults.push_back(std::move(text));
    };
    for (const auto& key : keyGrid) {
        const QRect r = deviceRect(key.rect, scale);
        const QRgb face = key.kind == KeyKind::White ? qRgb(255, 255, 255) : qRgb(255, 224, 192);
        for (int y = r.top() - scale; y <= r.bottom() + scale; ++y) {
            for (int x = r.left() - scale; x <= r.right() + scale; ++x) {
                if (!client.contains(origin + QPoint(x, y)) || x < 0 || y < 0)
                    continue;
                const size_t i = at(x, y);
                const QRgb seen = window.pixel(origin + QPoint(x, y)) & 0xFFFFFF;
                if (part[i] == Part::Background) {
                    if (seen != (background & 0xFFFFFF))
                        fault(describe("background around", key.index, { x, y }, seen));
                } else if (owner[i] != key.index) {
                    continue;
                } else if (part[i] == Part::Frame && seen != (frame & 0xFFFFFF)) {
                    fault(describe("frame", key.index, { x, y }, seen));
                } else if (part[i] == Part::Face && seen != (face & 0xFFFFFF)) {
                    fault(describe("face", key.index, { x, y }, seen));
                }
            }
        }
    }
    return faults;
}

QRect labelArea(const QImage& window, int scale)
{
    const QRect r = toPixels(TwipsRect { 5280, 9000, 3975, 1095 });
    return QRect(clientOrigin(window, scale) + r.topLeft() * scale, r.size() * scale);
}

double detailedBlockShare(const QImage& picture, QRect area)
{
    const QRgb background = picture.pixel(area.topLeft());
    int blocks = 0;
    int detailed = 0;
    for (int y = area.top() & ~1; y + 1 <= area.bottom(); y += 2) {
        for (int x = area.left() & ~1; x + 1 <= area.right(); x += 2) {
            const QRgb a = picture.pixel(x, y);
            const QRgb b = picture.pixel(x + 1, y);
            const QRgb c = picture.pixel(x, y + 1);
            const QRgb d = picture.pixel(x + 1, y + 1);
            if (a == background && b == background && c == background && d == background)
                continue;
            ++blocks;
            if (!(a == b && b == c && c == d))
                ++detailed;
        }
    }
    return blocks ? double(detailed) / blocks : 0.0;
}
