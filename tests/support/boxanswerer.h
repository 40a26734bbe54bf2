#pragma once

// Answers the modal windows that show up while it lives, as a user would: each message box with
// one of its standard buttons and any other modal window through a function (a file dialog,
// say), or by rejecting it. It looks every 10 ms from whatever event loop is running, the modal
// window's own included, and keeps what each box said.

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace TestSupport {

class BoxAnswerer final : public QObject
{
public:
    // Clicks answer on each message box; other modal windows are rejected.
    explicit BoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok);
    // Hands each modal window to answer, which must close it.
    explicit BoxAnswerer(std::function<void(QWidget *)> answer);

    // Runs action with an answerer in place; returns what it saw.
    static QStringList answering(const std::function<void()> &action, QMessageBox::StandardButton answer = QMessageBox::Ok);
    static QStringList answering(const std::function<void()> &action, std::function<void(QWidget *)> answer);

    // One entry per modal window answered: "title|text" for a message box, the class name otherwise.
    QStringList seen;
    // For each message box: the texts of its buttons and its default button.
    QList<QStringList> buttons;
    QList<QMessageBox::StandardButton> defaults;

private:
    void look();

    QMessageBox::StandardButton m_button = QMessageBox::NoButton;
    std::function<void(QWidget *)> m_answer;
    QTimer m_timer;
};

} // namespace TestSupport
