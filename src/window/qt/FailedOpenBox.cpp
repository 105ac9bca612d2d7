#include "window/qt/FailedOpenBox.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>

namespace {

// A desktop that draws the title bar itself (GNOME) fits the title and its
// buttons into the box's width; a box as narrow as its message cut the title short.
void widenForTitle(QMessageBox& box)
{
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const QString title
        = box.windowTitle().isEmpty() ? QGuiApplication::applicationDisplayName() : box.windowTitle();
    constexpr int buttonsAndMargins = 160;
    const int width = QFontMetrics(titleFont).horizontalAdvance(title) + buttonsAndMargins;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
            0, 1, grid->columnCount());
}

} // namespace

void showFailedOpen(QWidget* parent, const QString& message)
{
    QMessageBox box(QMessageBox::NoIcon, QString(), message, QMessageBox::Ok, parent);
    widenForTitle(box);
    box.exec();
}
