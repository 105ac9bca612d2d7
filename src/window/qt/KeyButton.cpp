#include "window/qt/KeyButton.h"

#include <algorithm>

#include <QAccessible>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

#include "window/KeyLook.h"
#include "window/KeyPitch.h"

namespace {

QColor qColor(Rgb rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

} // namespace

KeyButton::KeyButton(const KeyInfo& key, QWidget* parent)
    : QPushButton(QString::fromUtf8(key.caption), parent)
    , index_(key.index)
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
    return whole.adjusted(0, twipsToPixels(keyLook::captionTop(key), scale), 0, 0);
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
    const KeyInfo& key = keyGrid[static_cast<size_t>(index_)];
    QPainter painter(this);
    painter.fillRect(rect(), qColor(keyLook::frame));
    const QColor face = qColor(keyLook::faceOf(key, mouseButtonsHeld_ > 0));
    constexpr int frame = keyLook::frameWidth;
    painter.fillRect(rect().adjusted(frame, frame, -frame, -frame), face);
    painter.setPen(qColor(keyLook::caption));
    painter.drawText(captionArea(key, scale_), Qt::AlignCenter, text());
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        constexpr int inset = keyLook::focusInset;
        option.rect = rect().adjusted(inset, inset, -inset, -inset);
        option.backgroundColor = face;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}
