#include <gtest/gtest.h>

#include <algorithm>

#include <QFontInfo>
#include <QImage>
#include <QRawFont>
#include <QRegion>
#include <QScreen>
#include <QTextLayout>

#include "FormFixture.h"

// What the window really shows: its backing store, read back from the screen.
// The picture is also saved (window-picture.png beside the test program) for a person to look at.

namespace {

struct Grab {
    QImage image;
    const QtForm* form;

    // A widget's rectangle in picture coordinates.
    QRect rectOf(const QWidget* w) const { return QRect(w->mapTo(form, QPoint(0, 0)), w->size()); }
    QRect clientRect(const QRect& r) const
    {
        return r.translated(form->clientArea()->mapTo(form, QPoint(0, 0)));
    }
    QRgb at(QPoint p) const { return image.pixel(p) & 0xFFFFFF; }
    // The colour at a point given in client-area pixels, as the key table's rectangles are.
    QRgb atClient(int x, int y) const { return at(clientRect(QRect(x, y, 1, 1)).topLeft()); }
};

Grab grabWindow(QtForm& form)
{
    // A focus frame is drawn over the focused key's face; no key may hold it here.
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    form.repaint();
    QApplication::processEvents();
    const QPixmap pixmap = form.screen()->grabWindow(form.winId());
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_RGB32);
    image.save(QApplication::applicationDirPath() + QStringLiteral("/window-picture.png"));
    return { image, &form };
}

bool isInk(QRgb pixel)
{
    return qGray(pixel) < 128;
}

// The keys that lie above key k: every black key over a white one, and the
// right-hand one of two overlapping white keys.
QRegion visiblePartOf(size_t k)
{
    const auto& key = keyGrid[k];
    QRegion region(toPixels(key.rect));
    for (const auto& other : keyGrid) {
        const bool above
            = key.kind == KeyKind::White && (other.kind == KeyKind::Black || other.rect.left > key.rect.left);
        if (above)
            region -= toPixels(other.rect);
    }
    return region;
}

QRegion allKeys()
{
    QRegion region;
    for (const auto& key : keyGrid)
        region += toPixels(key.rect);
    return region;
}

// The pixels of an ink mask cropped to its bounding box, as rows of 0/1.
struct Glyph {
    QRect box;
    std::vector<std::vector<bool>> rows;

    int inkCount() const
    {
        int n = 0;
        for (const auto& row : rows)
            n += static_cast<int>(std::count(row.begin(), row.end(), true));
        return n;
    }
    int interiorInk() const
    {
        int n = 0;
        for (size_t y = 2; y + 2 < rows.size(); ++y)
            for (size_t x = 2; x + 2 < rows[y].size(); ++x)
                n += rows[y][x];
        return n;
    }
};

Glyph glyphIn(const QImage& image, const QRect& cell)
{
    QRect box;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            if (isInk(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    Glyph g { box, {} };
    for (int y = box.top(); y <= box.bottom() && !box.isEmpty(); ++y) {
        g.rows.emplace_back();
        for (int x = box.left(); x <= box.right(); ++x)
            g.rows.back().push_back(isInk(image.pixel(x, y)));
    }
    return g;
}

// Share of pixels that differ between two glyphs laid over each other at
// their top-left corners; 1 when their boxes differ clearly in size.
double difference(const Glyph& a, const Glyph& b)
{
    if (std::abs(a.box.width() - b.box.width()) > 2 || std::abs(a.box.height() - b.box.height()) > 2)
        return 1.0;
    const int w = std::max(a.box.width(), b.box.width()), h = std::max(a.box.height(), b.box.height());
    auto ink = [](const Glyph& g, int x, int y) {
        return y < static_cast<int>(g.rows.size()) && x < static_cast<int>(g.rows[size_t(y)].size())
            && g.rows[size_t(y)][size_t(x)];
    };
    int differing = 0, inked = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            differing += ink(a, x, y) != ink(b, x, y);
            inked += ink(a, x, y) || ink(b, x, y);
        }
    return inked ? double(differing) / inked : 0.0;
}

// Where each character of a label's text lands: the label draws plain text
// wrapped at its width from the top-left of its contents.
std::vector<QRectF> characterCells(const QLabel* label)
{
    const QString text = label->text();
    QTextLayout layout(text, label->font());
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    const QRect contents = label->contentsRect();
    std::vector<QRectF> cells(static_cast<size_t>(text.size()));
    qreal height = 0;
    const qreal leading = QFontMetricsF(label->font()).leading();
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(contents.width());
        height += leading;
        line.setPosition(QPointF(0, height));
        height += line.height();
        for (int i = line.textStart(); i < line.textStart() + line.textLength(); ++i) {
            const qreal x0 = line.cursorToX(i), x1 = line.cursorToX(i + 1);
            cells[size_t(i)]
                = QRectF(contents.left() + x0, contents.top() + line.y(), x1 - x0, line.height());
        }
    }
    layout.endLayout();
    return cells;
}

} // namespace

TEST(Picture, EveryKeyShowsItsRectangleInOneFlatColourWithBlackKeysOnTop)
{
    FormFixture f;
    ASSERT_TRUE(f.exposed);
    const Grab grab = grabWindow(f.form);
    ASSERT_FALSE(grab.image.isNull());
    ASSERT_EQ(f.form.devicePixelRatio(), 1.0);
    const QRegion keys = allKeys();
    const QRgb white = qRgb(255, 255, 255) & 0xFFFFFF, black = qRgb(255, 224, 192) & 0xFFFFFF;

    for (size_t k = 0; k < keyGrid.size(); ++k) {
        const auto& key = keyGrid[k];
        const KeyButton* button = f.form.Command1(key.index);
        ASSERT_EQ(grab.rectOf(button), grab.clientRect(toPixels(key.rect))) << "key " << k;
        const QRgb face = key.kind == KeyKind::White ? white : black;
        const QRect rect = toPixels(key.rect);

        // Inside the border the face shows one flat colour; every other pixel
        // belongs to the caption, which shows whole.
        QRect captionBox;
        for (const QRect& part : visiblePartOf(k).intersected(rect.adjusted(1, 1, -1, -1)))
            for (int y = part.top(); y <= part.bottom(); ++y)
                for (int x = part.left(); x <= part.right(); ++x)
                    if (grab.atClient(x, y) != face)
                        captionBox |= QRect(x, y, 1, 1);
        const QRect text = button->fontMetrics().tightBoundingRect(button->text());
        EXPECT_FALSE(captionBox.isEmpty()) << "key " << k << ": no caption";
        EXPECT_NEAR(captionBox.width(), text.width(), 2)
            << "key " << k << ": caption hidden or face not flat";
        EXPECT_NEAR(captionBox.height(), text.height(), 2)
            << "key " << k << ": caption hidden or face not flat";
        // Clear of the keys that lie above this one, so it reads easily.
        EXPECT_TRUE((QRegion(captionBox.adjusted(-2, -2, 2, 2)) - visiblePartOf(k)).isEmpty())
            << "key " << k << ": caption touches a key above it";

        // Just outside the rectangle, where no other key lies, the face colour stops.
        const QRegion ring = QRegion(rect.adjusted(-1, -1, 1, 1)) - QRegion(rect) - keys;
        for (const QRect& part : ring)
            for (int y = part.top(); y <= part.bottom(); ++y)
                for (int x = part.left(); x <= part.right(); ++x)
                    ASSERT_NE(grab.atClient(x, y), face)
                        << "key " << k << " spills over at " << x << "," << y;
    }

    // Black key 1 shows whole over white keys 0 and 2: its colour runs right
    // across the column where the two white keys meet.
    const QRect black1 = toPixels(keyGrid[1].rect);
    const int meet = toPixels(keyGrid[2].rect).left();
    EXPECT_EQ(grab.atClient(meet, black1.top() + 3), black);
    EXPECT_EQ(grab.atClient(black1.left() - 2, black1.top() + 3), white);
}

TEST(Picture, TheChineseCreditDrawsRealGlyphsFromTheSubstituteFont)
{
    FormFixture f;
    ASSERT_TRUE(f.exposed);
    const QLabel* label = f.form.Label2();
    const QFont font = label->font();
    EXPECT_EQ(font.family().toStdString(), "华文行楷");

    // The family that stands in for the missing one holds every character itself.
    const QString resolved = QFontInfo(font).family();
    EXPECT_TRUE(
        resolved == QStringLiteral("AR PL UKai CN") || resolved == QStringLiteral("Noto Serif CJK SC"))
        << resolved.toStdString();
    const QRawFont raw = QRawFont::fromFont(font, QFontDatabase::SimplifiedChinese);
    ASSERT_TRUE(raw.isValid());
    const QString text = label->text();
    std::vector<int> chinese;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i].isSpace())
            continue;
        EXPECT_TRUE(raw.supportsCharacter(text[i]))
            << "no glyph for U+" << std::hex << int(text[i].unicode());
        if (text[i].script() == QChar::Script_Han)
            chinese.push_back(i);
    }
    ASSERT_GE(chinese.size(), 2u) << "the credit has no Chinese text";

    // In the window each character leaves ink of its own: empty boxes would
    // all look alike, and a box has no ink inside its outline.
    const Grab grab = grabWindow(f.form);
    const QRect labelRect = grab.rectOf(label);
    const auto cells = characterCells(label);
    std::vector<Glyph> glyphs;
    for (int i : chinese) {
        const QRect cell
            = cells[size_t(i)].toAlignedRect().translated(labelRect.topLeft()).intersected(labelRect);
        const Glyph g = glyphIn(grab.image, cell);
        EXPECT_GT(g.inkCount(), 20) << "no ink for character " << i;
        EXPECT_GT(g.interiorInk(), 5) << "character " << i << " is only an outline";
        glyphs.push_back(g);
    }
    for (size_t a = 0; a < glyphs.size(); ++a)
        for (size_t b = a + 1; b < glyphs.size(); ++b)
            if (text[chinese[a]] != text[chinese[b]]) {
                EXPECT_GT(difference(glyphs[a], glyphs[b]), 0.3)
                    << "characters " << chinese[a] << " and " << chinese[b] << " look alike";
            }
}

TEST(Picture, TheEnglishCreditUsesTheMetricTwinOfTimesNewRoman)
{
    FormFixture f;
    ASSERT_TRUE(f.exposed);
    const QLabel* label = f.form.Label3();
    EXPECT_EQ(label->font().family().toStdString(), "Times New Roman");
    EXPECT_EQ(QFontInfo(label->font()).family().toStdString(), "Liberation Serif");
    const Grab grab = grabWindow(f.form);
    const Glyph ink = glyphIn(grab.image, grab.rectOf(label));
    EXPECT_GT(ink.inkCount(), 200);
    // The text wraps inside the label rather than running past it.
    EXPECT_TRUE(grab.rectOf(label).contains(ink.box));
}

TEST(Picture, AKeyHeldWithTheMouseShowsAPressedFaceUntilItsLastButtonIsReleased)
{
    FormFixture f;
    ASSERT_TRUE(f.exposed);
    const QRgb white = qRgb(255, 255, 255) & 0xFFFFFF, black = qRgb(255, 224, 192) & 0xFFFFFF;
    // A face pixel clear of caption and focus frame, for white key 0, black key 1 and white key 12.
    const auto faceOf = [&](int key) {
        const QRect r = toPixels(keyGrid[static_cast<size_t>(key)].rect);
        const QPoint p = keyGrid[static_cast<size_t>(key)].kind == KeyKind::White
            ? QPoint(r.left() + 2, r.bottom() - 2)
            : QPoint(r.left() + 2, r.top() + 2);
        return grabWindow(f.form).atClient(p.x(), p.y());
    };
    const auto mouse = [&](QEvent::Type type, int key, Qt::MouseButton button) {
        const QPoint at = f.windowPoint(toPixels(keyGrid[static_cast<size_t>(key)].rect).center());
        type == QEvent::MouseButtonPress ? QTest::mousePress(f.window(), button, {}, at)
                                         : QTest::mouseRelease(f.window(), button, {}, at);
    };

    mouse(QEvent::MouseButtonPress, 1, Qt::LeftButton);
    EXPECT_LT(qGray(faceOf(1)), qGray(black));
    mouse(QEvent::MouseButtonRelease, 1, Qt::LeftButton);
    EXPECT_EQ(faceOf(1), black);

    mouse(QEvent::MouseButtonPress, 0, Qt::LeftButton);
    const QRgb pressed = faceOf(0);
    EXPECT_LT(qGray(pressed), qGray(white));
    // Played from the keyboard, or Space on the focused key: the face stays.
    QTest::keyPress(f.window(), Qt::Key_A);
    EXPECT_EQ(faceOf(12), white);
    QTest::keyRelease(f.window(), Qt::Key_A);
    f.form.Command1(12)->setFocus();
    QTest::keyPress(f.form.Command1(12), Qt::Key_Space);
    EXPECT_EQ(faceOf(12), white);
    QTest::keyRelease(f.form.Command1(12), Qt::Key_Space);

    // Two buttons on one key: it stays down until both are up.
    mouse(QEvent::MouseButtonPress, 0, Qt::RightButton);
    mouse(QEvent::MouseButtonRelease, 0, Qt::LeftButton);
    EXPECT_EQ(faceOf(0), pressed);
    mouse(QEvent::MouseButtonRelease, 0, Qt::RightButton);
    EXPECT_EQ(faceOf(0), white);
}

TEST(Picture, TheKeyPlayedFromTheKeyboardShowsAFocusIndicator)
{
    FormFixture f;
    f.form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.form));
    const auto picture = [&](int key) { return f.form.Command1(key)->grab().toImage(); };
    const QImage key16 = picture(16);

    QTest::keyClick(f.window(), Qt::Key_D);
    ASSERT_TRUE(f.form.Command1(16)->hasFocus());
    EXPECT_NE(picture(16), key16);
    // Tab moves it on, indicator and all.
    QTest::keyClick(f.window(), Qt::Key_Tab);
    EXPECT_EQ(picture(16), key16);
}

TEST(Picture, OnAScreenTooSmallTheClientAreaShrinksAndEveryKeyKeepsItsPlace)
{
    FormFixture f;
    // A 1280x720 laptop screen under a top bar, and a window frame.
    const QSize available(1280, 688);
    EXPECT_TRUE(f.form.fitInto(available));
    EXPECT_LE(f.form.frameGeometry().height(), available.height());
    // The height is what does not fit, so the client area's height is exact and gives the scale.
    const double scale = f.form.clientArea()->height() / (10095 / 15.0);
    EXPECT_LT(scale, 1.0);
    EXPECT_NEAR(f.form.Label3()->font().pointSizeF(), 15.75 * scale, 0.01);
    for (const auto& a : keyGrid) {
        // Each edge within half a pixel of its exact place, not of its place at scale 1 scaled.
        const QRect r = f.form.Command1(a.index)->geometry(), u = toPixels(a.rect);
        EXPECT_NEAR(r.left(), a.rect.left * scale / 15, 0.5) << a.index;
        EXPECT_NEAR(r.top(), a.rect.top * scale / 15, 0.5) << a.index;
        EXPECT_NEAR(r.right() + 1, a.rect.right() * scale / 15, 0.5) << a.index;
        EXPECT_NEAR(r.bottom() + 1, a.rect.bottom() * scale / 15, 0.5) << a.index;
        // Keys that met still meet.
        for (const auto& b : keyGrid)
            EXPECT_EQ(u.right() == toPixels(b.rect).left() - 1,
                r.right() == f.form.Command1(b.index)->geometry().left() - 1)
                << a.index << " " << b.index;
    }
}
