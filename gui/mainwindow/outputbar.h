#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace Sveltra {

// The output bar (`Picture1`): the browse button `Command1` at its left edge and the output
// folder box `txtOutput` beside it, kept as wide as the bar allows whenever the bar changes
// size. Its height is fixed; its width is the main window's layout to set. What the button and
// the box do is the main window's to decide. User-interface thread only.
class OutputBar final : public QWidget
{
    Q_OBJECT

public:
    explicit OutputBar(QWidget *parent = nullptr);

    QPushButton *browseButton() const { return m_browse; }
    QLineEdit *textBox() const { return m_text; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // Places the button and the box for the bar's current size.
    void placeInside();

    QPushButton *m_browse = nullptr;
    QLineEdit *m_text = nullptr;
};

} // namespace Sveltra
