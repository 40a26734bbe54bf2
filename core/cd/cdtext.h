#pragma once

// A disc's CD-Text as names: the texts of the block core/cd/cddrive.h reads, their character code
// recognised, turned into the names the grabber reports. Pure functions, any thread.

#include <QString>

#include "core/cd/cddrive.h"
#include "core/cd/discnames.h"

namespace Sveltra {

// A text that libcdio read as ISO 8859-1 but whose bytes are really UTF-8, GBK or Big5 (a .cue
// sheet saved as UTF-8, a Chinese disc labelling its block as 8859-1) given its true characters:
// the bytes are taken back and read as UTF-8 when they are valid UTF-8, else as GBK and then as
// Big5 when they read as whole double-byte characters that accented Latin text would not make
// (see cdtext.cpp); otherwise the text stays as it was. Texts holding characters beyond 8859-1 (MS-JIS blocks) are already right.
QString CdTextDecode(const QString &text);

// The CD-Text of raw packs, as a drive reports them (without the four bytes that head its reply)
// or a disc image's CD-Text file holds them: 18 bytes each, of up to eight language blocks. The
// block taken is the Chinese one when there is one, else the first that names anything. Its
// texts are decoded by the character code its size information gives: 0x00 ISO 8859-1, 0x01
// ASCII, 0x80 MS-JIS (Shift-JIS), 0x81 Korean (KS C 5601, as EUC-KR), 0x82 Mandarin (GB 2312, read
// as GBK); a block of another code or without size information is read as ISO 8859-1. A text of
// a tab alone repeats the track before. lastTrack bounds the tracks read (at most 99); anything
// beyond the packs (a broken last one) is left out. Empty when no block names anything.
CdTextBlock CdTextFromPacks(const QByteArray &packs, int lastTrack);

// The names a CD-Text block gives a disc: album from the disc's title, artist from the disc's
// performer (else the first track's), genre, and the titles of the disc's tracks; every text
// decoded as above and cut to the length CDDB texts are cut to. source is None when the block
// names neither the disc nor any track.
DiscNames CdTextNames(const CdTextBlock &block, const DiscToc &toc);

} // namespace Sveltra
