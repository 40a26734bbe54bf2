#pragma once

#include <QList>
#include <QString>

// Why a path given to the job list (on the command line, handed over by a later start, dropped,
// or chosen with "添加") did not become a row, and how the user is told: one status-bar line and
// one notice for a whole add. Pure texts; the job list shows them.
namespace Sveltra {

enum class AddRefusal {
    None,
    NotFound,       // no such file, or a link to nothing
    NameUnreadable, // its name is not in the file-name encoding (bytes that are not UTF-8)
    NotAudio,       // there, but not audio we can read
    DiscUnreadable, // a CD track of a drive or disc image that cannot be read
    Duplicate,      // a queued row holds it already
    OwnOutput,      // found in a folder, and in the output folder or written by this program
};

struct RefusedPath
{
    QString path;
    AddRefusal reason = AddRefusal::NotAudio;
};

// Why a path that read as no audio was refused: not there at all, a name that did not survive
// decoding (the file-name codec put U+FFFD where its bytes were), or not audio. Looks at the
// file system.
AddRefusal RefusalOfUnreadable(const QString &path);

// The reason in a few words, for lists and the log's reader ("找不到文件" ...).
QString RefusalText(AddRefusal reason);

// The status bar's line for an add's refusals (at least one): the reason and the first name for
// one file, the count and the first name for several.
QString RefusedStatusLine(const QList<RefusedPath> &refused);

// The notice for an add's refusals (at least one): a paragraph per reason, in the order of the
// enumeration, each naming its files; at most `names` names in all, "……" where some are left
// out. The program's own outputs are said in one line with their count, without names (a
// folder of them would crowd out the rest). The details give every path under its reason.
QString RefusedNoticeText(const QList<RefusedPath> &refused, int names = 20);
QString RefusedNoticeDetails(const QList<RefusedPath> &refused);

} // namespace Sveltra
