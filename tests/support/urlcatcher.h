#pragma once

// Receives the web addresses the program hands to the desktop, instead of a browser:
// QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open").

#include <QList>
#include <QObject>
#include <QUrl>

class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url);
};
