// The LED readout: the rendered picture pixel by pixel against the strip, and how a display
// label is sized and named.

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QTest>

#include "gui/skin/digitdisplay.h"

using namespace Sveltra;

namespace {

// A strip whose every pixel differs, so a copy from the wrong place cannot pass.
QImage codedStrip(int cellWidth = 14, int cellHeight = 20)
{
    QImage strip(18 * cellWidth, cellHeight, QImage::Format_RGB32);
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x)
            strip.setPixel(x, y, qRgb(x % 256, 1 + y * 8, 40 + x / 256 * 100));
    return strip;
}

// Cell i of the readout is a copy of strip cell `cell`, or black for -1.
bool sameCell(const QImage &readout, int i, const QImage &strip, int cell)
{
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 14; ++x)
            if (readout.pixel(i * 14 + x, y) != (cell < 0 ? qRgb(0, 0, 0) : strip.pixel(cell * 14 + x, y)))
                return false;
    return true;
}

} // namespace

class TestDigitDisplay : public QObject
{
    Q_OBJECT

private slots:
    void renderCopiesEachCellFromTheStrip()
    {
        const QImage strip = codedStrip();
        const QImage version = RenderDigitalText(strip, QStringLiteral("04.03.00"));
        QCOMPARE(version.size(), QSize(112, 20));
        const int cells[] = {0, 4, 15, 0, 3, 15, 0, 0};
        for (int i = 0; i < 8; ++i)
            QVERIFY(sameCell(version, i, strip, cells[i]));

        // A letter selects nothing: its cell stays black but keeps its place.
        const QImage mixed = RenderDigitalText(strip, QStringLiteral("1x9"));
        QCOMPARE(mixed.width(), 42);
        QVERIFY(sameCell(mixed, 0, strip, 1) && sameCell(mixed, 1, strip, -1) && sameCell(mixed, 2, strip, 9));
        for (QChar c : QStringLiteral("aO\u3002*/\"\t"))
            QCOMPARE(GlyphCell(c), -1);

        QVERIFY(RenderDigitalText(strip, QString()).isNull());
        QCOMPARE(RenderDigitalText(QImage(), QStringLiteral("12")), RenderDigitalText(codedStrip(), QStringLiteral("xy")));
    }

    void skinStripIsCopiedPixelByPixel()
    {
        const QImage strip = DigitGlyphStrip(); // an 8-bit palette picture
        QCOMPARE(strip.size(), QSize(252, 20));
        const QString all = QStringLiteral("0123456789 :;-'.,");
        const QImage readout = RenderDigitalText(strip, all);
        const QImage reference = strip.convertToFormat(QImage::Format_RGB32);
        for (int k = 0; k < all.size(); ++k)
            QVERIFY2(sameCell(readout, k, reference, k), qPrintable(all.mid(k, 1)));
        // "'" is an empty cell and "," a two-pixel dot, as the readouts expect.
        QVERIFY(sameCell(readout, 14, reference, -1));
        QCOMPARE(readout.pixel(16 * 14 + 6, 19), qRgb(0, 255, 255));
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
        QCOMPARE(QAccessible::queryAccessibleInterface(&display)->text(QAccessible::Name), QStringLiteral("04.03.00"));

        // A long text then a short one leaves no trace of the first; the eye sees the cells.
        DisplayDigital(&display, QStringLiteral("12345"), strip);
        DisplayDigital(&display, QStringLiteral("7"), strip);
        QCOMPARE(display.size(), QSize(14, 20));
        QCOMPARE(display.accessibleName(), QStringLiteral("7"));
        display.show();
        QVERIFY(sameCell(display.grab().toImage().convertToFormat(QImage::Format_RGB32), 0, strip, 7));

        // The final size comes from the strip (n / 18 of its width), the copy from 14 × 20 cells.
        DisplayDigital(&display, QStringLiteral("123"), codedStrip(20, 30));
        QCOMPARE(display.size(), QSize(60, 30));

        DisplayDigital(&display, QString(), strip);
        QCOMPARE(display.width(), 0);
        QVERIFY(display.pixmap().isNull());
    }
};

QTEST_MAIN(TestDigitDisplay)
#include "test_digitdisplay.moc"
