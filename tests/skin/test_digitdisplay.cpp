// The LED readout: which cell each character selects, the rendered picture pixel by pixel
// against the strip, and how a display label is sized and named.

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTest>

#include "skin/digitdisplay.h"

using namespace Sveltra;

namespace {

// A strip whose every pixel is different, so a copy from the wrong place cannot pass.
QImage codedStrip(int cellWidth = GlyphCellWidth, int cellHeight = GlyphCellHeight)
{
    QImage strip(GlyphCellCount * cellWidth, cellHeight, QImage::Format_RGB32);
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x)
            strip.setPixel(x, y, qRgb(x % 256, 1 + y * 8, 40 + x / 256 * 100));
    return strip;
}

// Checks that cell i of the readout is a copy of strip cell `cell`, or black when cell is -1.
void verifyCell(const QImage &readout, int i, const QImage &strip, int cell)
{
    for (int y = 0; y < GlyphCellHeight; ++y)
        for (int x = 0; x < GlyphCellWidth; ++x) {
            const QRgb expected =
                cell < 0 ? qRgb(0, 0, 0) : strip.pixel(cell * GlyphCellWidth + x, y);
            const QRgb seen = readout.pixel(i * GlyphCellWidth + x, y);
            if (seen != expected)
                QFAIL(qPrintable(QStringLiteral("cell %1 (strip cell %2) differs at %3,%4").arg(i).arg(cell).arg(x).arg(y)));
        }
}

int countColour(const QImage &image, const QRect &area, QRgb colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += (image.pixel(x, y) & 0xffffff) == (colour & 0xffffff);
    return n;
}

} // namespace

class TestDigitDisplay : public QObject
{
    Q_OBJECT

private slots:
    void charactersSelectTheirCells()
    {
        const QString chars = QStringLiteral("0123456789 :;-'.,");
        for (int i = 0; i < chars.size(); ++i)
            QCOMPARE(GlyphCell(chars.at(i)), i);
        for (QChar c : QStringLiteral("aAoO\u00b7\u3002*/_\"\t"))
            QCOMPARE(GlyphCell(c), -1);
    }

    void renderCopiesEachCellFromTheStrip()
    {
        const QImage strip = codedStrip();
        const QString text = QStringLiteral("04.03.00");
        const QImage readout = RenderDigitalText(strip, text);
        QCOMPARE(readout.size(), QSize(112, 20));
        const int cells[] = {0, 4, 15, 0, 3, 15, 0, 0};
        for (int i = 0; i < 8; ++i)
            verifyCell(readout, i, strip, cells[i]);

        // A letter selects nothing: its cell stays black but keeps its place.
        const QImage mixed = RenderDigitalText(strip, QStringLiteral("1x9"));
        QCOMPARE(mixed.size(), QSize(42, 20));
        verifyCell(mixed, 0, strip, 1);
        verifyCell(mixed, 1, strip, -1);
        verifyCell(mixed, 2, strip, 9);

        // Every selectable cell, and a palette strip like the skin's, converts cleanly.
        const QString all = QStringLiteral("0123456789 :;-'.,");
        const QImage indexed = strip.convertToFormat(QImage::Format_Indexed8);
        const QImage fromIndexed = RenderDigitalText(indexed, all);
        const QImage reference = indexed.convertToFormat(QImage::Format_RGB32);
        for (int i = 0; i < all.size(); ++i)
            verifyCell(fromIndexed, i, reference, i);

        QVERIFY(RenderDigitalText(strip, QString()).isNull());
        // No strip: black cells of the right size, nothing read from nowhere.
        const QImage blank = RenderDigitalText(QImage(), QStringLiteral("12"));
        QCOMPARE(blank.size(), QSize(28, 20));
        QCOMPARE(countColour(blank, blank.rect(), qRgb(0, 0, 0)), 28 * 20);
    }

    void skinStripLooksAsItShould()
    {
        const QImage strip = DigitGlyphStrip().convertToFormat(QImage::Format_RGB32);
        if (strip.isNull())
            QSKIP("the glyph strip artwork is not there yet");
        QCOMPARE(strip.size(), QSize(252, 20));
        const QRgb cyan = qRgb(0, 255, 255), grey1 = qRgb(102, 102, 102), grey2 = qRgb(153, 153, 153);
        auto cellRect = [](int k) { return QRect(k * GlyphCellWidth, 0, GlyphCellWidth, GlyphCellHeight); };
        auto greys = [&](int k) { return countColour(strip, cellRect(k), grey1) + countColour(strip, cellRect(k), grey2); };

        const QImage readout = RenderDigitalText(strip, QStringLiteral("0123456789 :;-'.,"));
        for (int k = 0; k < 17; ++k)
            verifyCell(readout, k, strip, k);

        QVERIFY(countColour(strip, cellRect(8), cyan) > countColour(strip, cellRect(1), cyan));
        QCOMPARE(countColour(strip, cellRect(10), cyan), 0);        // " ": all unlit
        QVERIFY(greys(10) > 0);
        QVERIFY(countColour(strip, cellRect(11), cyan) >= 18);      // ":": two lit dots
        QCOMPARE(countColour(strip, cellRect(12), cyan), 0);        // ";": grey colon
        QVERIFY(greys(12) >= 18);
        QCOMPARE(greys(13), 0);                                     // "-": bare bar, no frame
        QVERIFY(countColour(strip, cellRect(13), cyan) > 0);
        QCOMPARE(countColour(strip, cellRect(14), qRgb(0, 0, 0)), 14 * 20); // "'": empty
        QVERIFY(greys(15) > 0 && countColour(strip, cellRect(15), cyan) > 0); // ".": dash in a frame
        QCOMPARE(countColour(strip, cellRect(16), cyan), 2);        // ",": one small dot
        QCOMPARE(strip.pixel(16 * 14 + 6, 18) & 0xffffff, cyan & 0xffffff);
        QCOMPARE(strip.pixel(16 * 14 + 6, 19) & 0xffffff, cyan & 0xffffff);
        for (int k = 0; k < 16; ++k) { // column 13 and rows 0 and 19 stay black
            QCOMPARE(countColour(strip, QRect(k * 14 + 13, 0, 1, 20), qRgb(0, 0, 0)), 20);
            QCOMPARE(countColour(strip, QRect(k * 14, 0, 14, 1), qRgb(0, 0, 0)), 14);
            QCOMPARE(countColour(strip, QRect(k * 14, 19, 14, 1), qRgb(0, 0, 0)), 14);
        }
    }

    void displayIsSizedToTheCellsAndNamedByItsText()
    {
        const QImage strip = codedStrip();
        QLabel display;
        display.setFrameShape(QFrame::Box);
        display.resize(300, 60);

        DisplayDigital(&display, QStringLiteral("04.03.00"), strip);
        QCOMPARE(display.size(), QSize(112, 20));
        QCOMPARE(display.frameShape(), QFrame::NoFrame);
        QCOMPARE(display.accessibleName(), QStringLiteral("04.03.00"));
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&display);
        QVERIFY(a);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("04.03.00"));
        QCOMPARE(display.pixmap().toImage().convertToFormat(QImage::Format_RGB32),
                 RenderDigitalText(strip, QStringLiteral("04.03.00")));

        DisplayDigital(&display, QStringLiteral("000"), strip);
        QCOMPARE(display.size(), QSize(42, 20));

        // A long text then a short one leaves no trace of the first.
        DisplayDigital(&display, QStringLiteral("12345"), strip);
        DisplayDigital(&display, QStringLiteral("7"), strip);
        QCOMPARE(display.size(), QSize(14, 20));
        QCOMPARE(display.accessibleName(), QStringLiteral("7"));
        QCOMPARE(display.pixmap().size(), QSize(14, 20));
        verifyCell(display.pixmap().toImage().convertToFormat(QImage::Format_RGB32), 0, strip, 7);

        // What the user sees: the label grabbed from the screen.
        DisplayDigital(&display, QStringLiteral("007"), strip);
        display.show();
        const QImage seen = display.grab().toImage().convertToFormat(QImage::Format_RGB32);
        verifyCell(seen, 0, strip, 0);
        verifyCell(seen, 2, strip, 7);

        DisplayDigital(&display, QString(), strip);
        QCOMPARE(display.width(), 0);
        QVERIFY(display.pixmap().isNull());
    }

    void finalSizeComesFromTheStrip()
    {
        // A strip of wider cells: copying still takes 14 × 20 cells, the size follows the strip.
        QLabel display;
        DisplayDigital(&display, QStringLiteral("123"), codedStrip(20, 30));
        QCOMPARE(display.size(), QSize(60, 30));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no glyph strip")));
        DisplayDigital(&display, QStringLiteral("12"), QImage());
        QCOMPARE(display.size(), QSize(0, 0));
    }
};

QTEST_MAIN(TestDigitDisplay)
#include "test_digitdisplay.moc"
