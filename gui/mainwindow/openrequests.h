#pragma once

#include <QObject>
#include <QStringList>

namespace Sveltra {

class Form1;

// Files and folders the program was asked to open, on its command line or by a later start
// handing them over (InstanceServer): folders become the audio files inside them, and each file
// goes through the job list's usual add. A hand-over also brings the program to the front: the
// main window, or the progress window while a run hides the main window (rows added then stay
// queued for the next run). User-interface thread only.
class OpenRequests final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OpenRequests)

public:
    explicit OpenRequests(Form1 &form, QObject *parent = nullptr);

    // Adds what the paths name to the job list; with raise, brings the program forward first.
    void open(const QStringList &paths, bool raise);

private:
    void bringForward();

    Form1 &m_form;
};

} // namespace Sveltra
