#pragma once

#include <QUrl>
#include <QWidget>

class QListWidget;
class QTextBrowser;

namespace Sveltra {

// The help window: the program's own help pages, in Chinese, compiled into the program and
// shown in a browser pane with a contents list beside it. There is one help window; asking for
// a topic while it is open shows that topic in the same window and brings it forward. Links to
// web addresses open in the user's browser. User-interface thread only.
class HelpWindow final : public QWidget
{
    Q_OBJECT

public:
    // The contents page, shown when no topic (or an unknown one) is asked for.
    static QString DefaultTopic();

    // Shows the help window (creating it on first use) at the page of that file name, such as
    // "Sveltra.htm". An empty topic shows the contents page; an unknown one shows it too, and
    // the reason goes to the log.
    static HelpWindow *ShowTopic(const QString &topic = QString());
    // The help window if it exists, or nothing.
    static HelpWindow *existing();

    QTextBrowser *browser() const { return m_browser; }
    // The file name of the page shown, such as "Sveltra.htm".
    QString currentTopic() const;

private:
    HelpWindow();
    void showPage(const QUrl &url);
    void pageShown(const QUrl &url);

    QTextBrowser *m_browser = nullptr;
    QListWidget *m_contents = nullptr;
};

} // namespace Sveltra
