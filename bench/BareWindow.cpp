// The yardstick for the keyboard's start-up and memory: a bare Qt window with
// the same controls, fonts and menus, and no MIDI at all. It links Qt alone.

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include "window/KeyGrid.h"
#include "window/qt/TwipsPixels.h"

namespace {

class FlatButton : public QPushButton {
public:
    FlatButton(const QString& text, QColor face, QWidget* parent)
        : QPushButton(text, parent)
        , face_(face)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), face_);
        painter.setPen(QColor(96, 96, 96));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        painter.setPen(Qt::black);
        painter.drawText(rect(), Qt::AlignCenter, text());
    }

private:
    QColor face_;
};

QFont fontOf(const char* family, double points)
{
    QFont font(QString::fromUtf8(family));
    font.setPointSizeF(points);
    return font;
}

template <typename W> W* place(W* widget, TwipsRect rect)
{
    widget->setGeometry(toPixels(rect));
    return widget;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Bare window"));
    QFont::insertSubstitutions(
        QStringLiteral("华文行楷"), { QStringLiteral("AR PL UKai CN"), QStringLiteral("Noto Serif CJK SC") });
    QFont::insertSubstitutions(
        QStringLiteral("宋体"), { QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC") });
    QFont::insertSubstitutions(QStringLiteral("Times New Roman"), { QStringLiteral("Liberation Serif") });

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tonvelo"));
    QMenu* devices = window.menuBar()->addMenu(QStringLiteral("Midi设备"));
    devices->addAction(QStringLiteral("MIDI Mapper"))->setCheckable(true);
    QMenu* channels = window.menuBar()->addMenu(QStringLiteral("通道"));
    for (int i = 1; i <= 6; ++i)
        channels->addAction(QString::number(i))->setCheckable(true);

    auto* client = new QWidget(&window);
    client->setFixedSize(toPixels(TwipsRect { 0, 0, 9255, 10095 }).size());
    window.setCentralWidget(client);
    for (KeyKind kind : { KeyKind::White, KeyKind::Black })
        for (const auto& key : keyGrid)
            if (key.kind == kind)
                place(new FlatButton(QString::fromUtf8(key.caption),
                          kind == KeyKind::White ? QColor(255, 255, 255) : QColor(255, 224, 192), client),
                    key.rect);
    auto* bar = place(new QScrollBar(Qt::Vertical, client), { 6120, 4800, 375, 2655 });
    bar->setRange(0, 127);
    place(new QLabel(QStringLiteral("音   量"), client), { 6120, 3600, 255, 975 })
        ->setFont(fontOf("宋体", 14.25));
    auto* credit = place(new QLabel(QStringLiteral("电脑MIDI键盘"), client), { 5280, 7920, 2895, 735 });
    credit->setFont(fontOf("华文行楷", 15.75));
    auto* help
        = place(new QLabel(QStringLiteral("Play with the mouse, or the keys Z–/, A–; and Q–P"), client),
            { 5280, 9000, 3975, 1095 });
    help->setFont(fontOf("Times New Roman", 15.75));
    help->setWordWrap(true);
    place(new QPushButton(QStringLiteral("雪花神剑"), client), { 1920, 9120, 2535, 735 })
        ->setFont(fontOf("华文行楷", 21.75));

    window.setFixedSize(window.sizeHint());
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.show();
    return QApplication::exec();
}
