#include "tests/support/boxanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>

namespace TestSupport {

BoxAnswerer::BoxAnswerer(QMessageBox::StandardButton answer)
    : BoxAnswerer(std::function<void(QWidget *)>())
{
    m_button = answer;
}

BoxAnswerer::BoxAnswerer(std::function<void(QWidget *)> answer)
    : m_answer(std::move(answer))
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &BoxAnswerer::look);
    m_timer.start();
}

QStringList BoxAnswerer::answering(const std::function<void()> &action, QMessageBox::StandardButton answer)
{
    BoxAnswerer answerer(answer);
    action();
    return answerer.seen;
}

QStringList BoxAnswerer::answering(const std::function<void()> &action, std::function<void(QWidget *)> answer)
{
    BoxAnswerer answerer(std::move(answer));
    action();
    return answerer.seen;
}

void BoxAnswerer::look()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    auto *box = qobject_cast<QMessageBox *>(modal);
    if (box) {
        seen << box->windowTitle() + QLatin1Char('|') + box->text();
        QStringList texts;
        for (QAbstractButton *button : box->buttons())
            texts << button->text();
        buttons << texts;
        defaults << (box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton);
    } else {
        seen << QString::fromLatin1(modal->metaObject()->className());
    }
    if (m_answer) {
        m_answer(modal);
    } else if (box && box->button(m_button)) {
        box->button(m_button)->click();
    } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
        if (box)
            qWarning("BoxAnswerer: the box \"%s\" has no such button; rejected", qPrintable(box->text()));
        dialog->reject();
    } else {
        modal->close();
    }
}

} // namespace TestSupport
