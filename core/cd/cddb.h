#pragma once

// The CDDB protocol as pure functions: the disc id from a table of contents, the commands and
// request address of the protocol over HTTP, and the parsers of the server's replies. No I/O
// here; cd/cddbhttp.h sends the requests. Safe to use from any thread.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "core/base/textcut.h"
#include <QUrl>

namespace Sveltra {

// The frames before a disc's first track (2 s): tables of contents count from the disc's very start.
inline constexpr int CdLeadInFrames = 150;

// No server reply is believed beyond these: a reply longer than CddbMaxReplyBytes is no reply at
// all, and every text taken from one (a title, a name, a genre) is cut to CddbMaxTextLength
// characters, between whole characters.
inline constexpr qsizetype CddbMaxReplyBytes = 1024 * 1024;
inline constexpr qsizetype CddbMaxTextLength = MaxFieldLength;

// A disc's table of contents in CDDB terms: the start of every track (audio and data, in disc
// order) and the start of the lead-out, in frames of 1/75 s counted from the very start of the
// disc, so the 150 frames (2 s) before track 1 are included (the first track usually starts at 150).
struct CddbToc
{
    QList<int> offsets;
    int leadout = 0;

    bool isValid() const;
};

// The standard 32-bit disc id: the digit sums of the track starts in whole seconds (mod 255) in
// the top byte, the playing time in seconds from the first track to the lead-out in the middle
// two bytes, the track count in the low byte.
quint32 CddbDiscId(const CddbToc &toc);

// The disc id as the protocol writes it: eight lower-case hex digits ("890e120a").
QString CddbDiscIdText(quint32 discId);

// "cddb query <discid> <ntracks> <offset1> ... <offsetN> <seconds>", seconds being the lead-out
// in whole seconds (2 s lead-in included).
QString CddbQueryCommand(const CddbToc &toc);

// "cddb read <category> <discid>".
QString CddbReadCommand(const QString &category, const QString &discId);

// The address of one request to the server's CGI: base (e.g. http://gnudb.gnudb.org:80/~cddb/cddb.cgi)
// with cmd=<command>, hello=<user> <host> <client name> <client version> and proto=6 (UTF-8
// replies). client is "name version" ("Sveltra V4.0"); email "user@host". Blanks become "+".
QUrl CddbRequestUrl(const QUrl &base, const QString &command, const QString &client, const QString &email);

// Server replies are UTF-8 at protocol level 6; a reply that is not valid UTF-8 comes from an entry
// stored in the Chinese legacy encoding and is decoded as GBK.
QString CddbDecodeReply(const QByteArray &reply);

// The first match of a "cddb query" reply: 200 (one match) or 210/211 (a list ended by ".",
// the first entry taken). found is false for 202 (no match), any other status (401, 403, 500 ...),
// a reply over CddbMaxReplyBytes and anything that is not a reply at all; message then tells why.
struct CddbMatch
{
    bool found = false;
    QString category;
    QString discId;
    QString title; // "artist / album" as the server lists it
    QString message;
};
CddbMatch CddbParseQueryReply(const QByteArray &reply);

// One disc entry. A DTITLE "artist / album" is split at its first " / "; a DTITLE without one
// gives both artist and album the whole title. genre is DGENRE, or the category when the entry has
// none; year is DYEAR. trackTitles[i] is TTITLEi (0-based, so the disc's first track is index 0); tracks the entry
// leaves out have empty titles. Keys given on several lines are joined, and the escapes of the
// format (backslash-n newline, backslash-t tab, two backslashes one backslash) are undone. Each
// text is cut to CddbMaxTextLength characters, however often its key is repeated.
struct CddbEntry
{
    QString artist;
    QString album;
    QString genre;
    QString year; // DYEAR when it is a year (four digits), else empty
    QStringList trackTitles;

    QString trackTitle(int index) const { return index >= 0 && index < trackTitles.size() ? trackTitles.at(index) : QString(); }
};

// The xmcd lines of an entry (no status line; a line "." ends the entry).
CddbEntry CddbParseXmcd(const QString &text, const QString &category = QString());

// A "cddb read" reply: status 210 followed by the entry. Returns false (and leaves *entry alone)
// for any other status, a reply over CddbMaxReplyBytes or one that is not a reply; message then
// tells why.
bool CddbParseReadReply(const QByteArray &reply, const QString &category, CddbEntry *entry, QString *message = nullptr);

} // namespace Sveltra
