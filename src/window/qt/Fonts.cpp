#include "window/qt/Fonts.h"

#include <QFont>
#include <QStringList>

void registerFontSubstitutes()
{
    QFont::insertSubstitutions(QStringLiteral("华文行楷"),
        QStringList { QStringLiteral("AR PL UKai CN"), QStringLiteral("Noto Serif CJK SC") });
    QFont::insertSubstitutions(QStringLiteral("宋体"),
        QStringList { QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC") });
    QFont::insertSubstitutions(
        QStringLiteral("Times New Roman"), QStringList { QStringLiteral("Liberation Serif") });
}
