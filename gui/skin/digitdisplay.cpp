#include "gui/skin/digitdisplay.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QtDebug>

#include <cmath>

namespace Sveltra {

int GlyphCell(QChar character)
{
    const char16_t c = character.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    switch (c) {
    case u' ':
        return 10;
    case u':':
        return 11;
    case u';':
        return 12;
    case u'-':
        return 13;
    case u'\'':
        return 14;
    case u'.':
        return 15;
    case u',':
        return 16;
    default:
        return -1;
    }
}

QImage RenderDigitalText(const QImage &strip, const QString &text)
{
    if (text.isEmpty())
        return {};
    QImage result(static_cast<int>(text.size()) * GlyphCellWidth, GlyphCellHeight, QImage::Format_RGB32);
    result.fill(Qt::black);
    if (strip.isNull())
        return result;

    const QImage source = strip.convertToFormat(QImage::Format_RGB32);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int cell = GlyphCell(text.at(i));
        if (cell < 0)
            continue;
        const QRect from(cell * GlyphCellWidth, 0, GlyphCellWidth, GlyphCellHeight);
        painter.drawImage(QPoint(static_cast<int>(i) * GlyphCellWidth, 0), source, from);
    }
    return result;
}

void DisplayDigital(QLabel *display, const QString &text, const QImage &strip)
{
    if (!display)
        return;
    display->clear();
    display->setFrameShape(QFrame::NoFrame);
    display->setMargin(0);
    display->setIndent(0);
    display->setScaledContents(false);
    display->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    display->setAccessibleName(text);

    if (strip.isNull())
        qWarning("DisplayDigital: no glyph strip for the readout '%s'", qUtf8Printable(text));
    if (text.isEmpty()) {
        display->resize(0, strip.height());
        return;
    }
    display->setPixmap(QPixmap::fromImage(RenderDigitalText(strip, text)));
    const double width = static_cast<double>(text.size()) / GlyphCellCount * strip.width();
    display->resize(static_cast<int>(std::lround(width)), strip.height());
}

QImage DigitGlyphStrip()
{
    QImage strip(QStringLiteral(":/digits/glyphs.png"));
    if (strip.isNull())
        qWarning("The LED glyph strip :/digits/glyphs.png is missing");
    return strip;
}

} // namespace Sveltra
