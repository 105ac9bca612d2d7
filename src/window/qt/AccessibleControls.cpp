#include "window/qt/AccessibleControls.h"

#include <QAccessibleWidget>

#include "window/qt/AccessibleChoices.h"
#include "window/qt/KeyButton.h"
#include "window/qt/VelocityBar.h"

namespace {

// Qt's own button reads "pressed" from the button's down state, which a
// key played from the computer keyboard never has.
class AccessibleKey : public QAccessibleWidget {
public:
    explicit AccessibleKey(KeyButton* key)
        : QAccessibleWidget(key, QAccessible::PushButton)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.pressed = static_cast<const KeyButton*>(object())->isHeld();
        return state;
    }
};

// Qt's scroll bar reports the thumb's position, which runs the other way:
// its top is 0 where the velocity is 127.
class AccessibleVelocityBar : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleVelocityBar(VelocityBar* bar)
        : QAccessibleWidget(bar, QAccessible::Slider)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value)
            return QString::number(bar()->velocity());
        const QString text = QAccessibleWidget::text(type);
        // Named by the label whose buddy it is.
        return type == QAccessible::Name && text.isEmpty() ? QStringLiteral("Velocity") : text;
    }

    QVariant currentValue() const override { return bar()->velocity(); }
    void setCurrentValue(const QVariant& value) override { bar()->setVelocity(value.toInt()); }
    QVariant maximumValue() const override { return bar()->maximum(); }
    QVariant minimumValue() const override { return bar()->minimum(); }
    QVariant minimumStepSize() const override { return bar()->singleStep(); }

private:
    VelocityBar* bar() const { return static_cast<VelocityBar*>(object()); }
};

QAccessibleInterface* makeInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String("KeyButton"))
        return new AccessibleKey(static_cast<KeyButton*>(object));
    if (className == QLatin1String("VelocityBar"))
        return new AccessibleVelocityBar(static_cast<VelocityBar*>(object));
    return makeChoiceInterface(className, object);
}

} // namespace

void installAccessibleControls()
{
    QAccessible::installFactory(makeInterface);
}
