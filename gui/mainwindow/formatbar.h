#pragma once

#include <QList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;
class QComboBox;

namespace Sveltra {

// The format toolbar of the file browser (`tbFormat`): four exclusive picture buttons, MP3,
// WAV, CD and ALL, and the editable file-type box `cbFormat`. Its height fits the box; its width
// is the main window's layout to set, and the box is sized once, by the first placement. It
// only reports the buttons; what a key or a pattern does is the main window's to decide.
// User-interface thread only.
class FormatBar final : public QWidget
{
    Q_OBJECT

public:
    explicit FormatBar(QWidget *parent = nullptr);

    QComboBox *combo() const { return m_combo; }
    // Left to right.
    QList<QAbstractButton *> buttons() const;

signals:
    // A format button was clicked; key is its name ("MP3", "WAV", "CD" or "ALL").
    void buttonClicked(const QString &key);

private:
    QComboBox *m_combo = nullptr;
    QButtonGroup *m_group = nullptr;
};

} // namespace Sveltra
