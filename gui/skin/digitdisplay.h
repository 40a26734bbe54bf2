#pragma once

#include <QImage>
#include <QString>

class QLabel;

// The LED-style digit readout of the skinned windows.
//
// A glyph strip is one picture of 18 cells side by side, each GlyphCellWidth × GlyphCellHeight
// pixels, cell 0 at the left (":/digits/glyphs.png"). A text is shown by copying, for each of its
// characters, the cell that character selects into the next cell of the readout:
//
//   "0".."9" → cells 0..9    " " → 10 (all segments unlit)   ":" → 11 (lit colon)
//   ";" → 12 (unlit colon)   "-" → 13 (bare lit bar)          "'" → 14 (empty cell)
//   "." → 15 (unlit frame with the middle bar lit)            "," → 16 (lit dot)
//
// Cell 17 (the unlit dot) is selected by no character. Any other character selects nothing and
// leaves its cell black, but still takes its place. Letters are never glyphs.
//
// Everything here is for the user-interface thread; nothing keeps state between calls.
namespace Sveltra {

inline constexpr int GlyphCellWidth = 14;  // 210 twips
inline constexpr int GlyphCellHeight = 20; // 300 twips
inline constexpr int GlyphCellCount = 18;

// The strip cell the character selects, or -1 when it selects none.
int GlyphCell(QChar character);

// The readout for text as a picture of text.size() cells: cell i is a plain copy of the strip's
// cell GlyphCell(text[i]) (at x = cell × GlyphCellWidth, y = 0, one cell wide and high), or black
// when the character selects no cell. The strip may be in any format (the skin's is an 8-bit
// palette picture); the result is QImage::Format_RGB32. An empty text gives a null image. A strip
// smaller than a cell copies only what it has; the rest of the cell stays black.
QImage RenderDigitalText(const QImage &strip, const QString &text);

// Draws text into display from strip: the label is cleared, made borderless and unscaled, shows
// RenderDigitalText(strip, text) at its top-left corner, and is resized to exactly the cells
// drawn: width = text.size() / 18 × strip width (in floating point, rounded), height = strip
// height. Its accessible name becomes the text it shows, so screen readers (and tests from
// outside) read the readout. An empty text clears the display to zero width. A null strip is
// reported with qWarning and leaves a zero-sized display.
void DisplayDigital(QLabel *display, const QString &text, const QImage &strip);

// The skin's glyph strip (":/digits/glyphs.png").
QImage DigitGlyphStrip();

} // namespace Sveltra
