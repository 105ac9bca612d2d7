#pragma once

#include <QPushButton>

#include "window/KeyGrid.h"
#include "window/qt/TwipsPixels.h"

// One on-screen piano key. It knows its index and reports presses and
// releases of any mouse button; the window decides what they mean. While a
// mouse button holds it, it shows a pressed face.
class KeyButton : public QPushButton {
    Q_OBJECT
public:
    KeyButton(const KeyInfo& key, QWidget* parent);

    // Where in the key (its own pixels) the caption is centred.
    static QRect captionArea(const KeyInfo& key, double scale = 1.0);

    int index() const { return index_; }
    // The key's place and caption at the window's layout scale.
    void setScale(double scale);

    // Held by a mouse button or, as the window tells it, by the computer
    // keyboard: while its note sounds the key reports itself pressed.
    bool isHeld() const { return mouseButtonsHeld_ > 0 || heldByKeys_; }
    void setHeldByKeys(bool held);

signals:
    void mouseDown(int index, Qt::MouseButton button);
    void mouseUp(int index, Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void announceHeld(bool wasHeld);

    int index_;
    double scale_ = 1.0;
    int mouseButtonsHeld_ = 0;
    bool heldByKeys_ = false;
};
