#include "window/qt/KeyButton.h"

#include <algorithm>

#include <QAccessible>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

#include "window/KeyPitch.h"

namespace {

constexpr TwipsRect blackKeyBand = [] {
    TwipsRect band { 0, 0, 0, 0 };
    for (const auto& key : keyGrid)
        if (key.kind == KeyKind::Black && key.rect.height > band.height)
            band.height = key.rect.height;
    return band;
}();

} // namespace

const QColor KeyButton::whiteColor(255, 255, 255);
const QColor KeyButton::blackColor(255, 224, 192);

KeyButton::KeyButton(const KeyInfo& key, QWidget* parent)
    : QPushButton(QString::fromUtf8(key.caption), parent)
    , index_(key.index)
    , face_(key.kind == KeyKind::White ? whiteColor : blackColor)
{
    setGeometry(toPixels(key.rect));
    // The caption is numbered notation, the same for several keys; a screen
    // reader says the pitch.
    setAccessibleName(QString::fromStdString(pitchName(key.index)));
    setAccessibleDescription(
        key.kind == KeyKind::White ? QStringLiteral("white key") : QStringLiteral("black key"));
}

QRect KeyButton::captionArea(const KeyInfo& key, double scale)
{
    const QRect whole(QPoint(0, 0), toPixels(key.rect, scale).size());
    return key.kind == KeyKind::White ? whole.adjusted(0, toPixels(blackKeyBand, scale).height(), 0, 0)
                                      : whole;
}

void KeyButton::setScale(double scale)
{
    scale_ = scale;
    setGeometry(toPixels(keyGrid[static_cast<size_t>(index_)].rect, scale));
}

void KeyButton::mousePressEvent(QMouseEvent* event)
{
    // Qt delivers the matching release to this widget even when the pointer
    // has left it, so each press is paired with its own release.
    setFocus(Qt::MouseFocusReason);
    const bool wasHeld = isHeld();
    ++mouseButtonsHeld_;
    announceHeld(wasHeld);
    update();
    emit mouseDown(index_, event->button());
}

void KeyButton::mouseReleaseEvent(QMouseEvent* event)
{
    const bool wasHeld = isHeld();
    mouseButtonsHeld_ = std::max(0, mouseButtonsHeld_ - 1);
    announceHeld(wasHeld);
    update();
    emit mouseUp(index_, event->button());
}

void KeyButton::mouseMoveEvent(QMouseEvent*) { }

void KeyButton::setHeldByKeys(bool held)
{
    const bool wasHeld = isHeld();
    heldByKeys_ = held;
    announceHeld(wasHeld);
}

void KeyButton::announceHeld(bool wasHeld)
{
    if (isHeld() == wasHeld)
        return;
    QAccessible::State changed;
    changed.pressed = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void KeyButton::paintEvent(QPaintEvent*)
{
    // Painted by hand: styles turn a plain background colour into a gradient,
    // and a key must show one flat colour. The frame is filled, not stroked:
    // a filled logical pixel covers exactly `scale` device pixels, where a
    // stroked one straddles the key's edge.
    QPainter painter(this);
    painter.fillRect(rect(), QColor(96, 96, 96));
    // Held with the mouse, a key looks pushed in, as a button does; keys played
    // from the keyboard or by the demo keep their face.
    const QColor face = mouseButtonsHeld_ > 0 ? face_.darker(115) : face_;
    painter.fillRect(rect().adjusted(1, 1, -1, -1), face);
    painter.setPen(Qt::black);
    painter.drawText(captionArea(keyGrid[static_cast<size_t>(index_)], scale_), Qt::AlignCenter, text());
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(3, 3, -3, -3);
        option.backgroundColor = face;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}
