#pragma once

#include <QDialog>

#include <functional>

#include "core/sync/syncplan.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "同步到播放器": a library folder and a player folder, the plan a sync of them would carry out
// (counts, bytes, free space, every removal and move), and 开始同步 to carry it out or 取消 to
// leave everything as it is. The plan is made on a worker thread, again whenever a folder
// changes or 重新比较 is pressed; the window changes nothing on disk itself. User-interface
// thread only.
namespace Sveltra {

class frmSync final : public QDialog
{
    Q_OBJECT

public:
    // What the window takes from the program.
    struct Host
    {
        QString library; // the folders it opens with (the last ones chosen)
        QString player;
        // The profile as the settings keep it ("1- CD 音质", "1- 立体声") and levelling.
        QString qualityChoice;
        QString channelChoice;
        bool levelled = false;
        // The folders in the boxes, when the window closes whichever way.
        std::function<void(const QString &library, const QString &player)> rememberFolders;
        // Carries the plan out; called once the person has said 开始同步 (and, for a sync that
        // removes most of the player's outputs, confirmed it), after the window has closed.
        std::function<void(const SyncPlan &plan)> start;
    };

    explicit frmSync(Host host, QWidget *parent = nullptr);
    ~frmSync() override;

    // Makes the plan again for the folders in the boxes; the one being made is forgotten.
    void replan();
    // Whether a plan is being made.
    bool isPlanning() const { return m_planning; }
    // The plan shown (refused, with no items, while none has been made).
    const SyncPlan &plan() const { return m_plan; }

    QLineEdit *txtLibrary = nullptr;
    QPushButton *cmdLibrary = nullptr;
    QLineEdit *txtPlayer = nullptr;
    QPushButton *cmdPlayer = nullptr;
    QLabel *lblProfile = nullptr;
    QLabel *lblCounts = nullptr; // the plan's first lines: counts, bytes, free space
    QPlainTextEdit *txtPlan = nullptr;
    QPushButton *cmdReplan = nullptr;
    QPushButton *cmdStart = nullptr;
    QPushButton *cmdCancel = nullptr;

signals:
    // A plan has been made and is shown.
    void planShown();

protected:
    void done(int result) override;

private:
    void browse(QLineEdit *box, const QString &title);
    void showPlan(const SyncPlan &plan);
    void startSync();

    Host m_host;
    SyncPlan m_plan;
    bool m_planning = false;
    int m_generation = 0; // of the plan being made: an older one arriving late is dropped
    QString m_plannedLibrary;
    QString m_plannedPlayer;
};

} // namespace Sveltra
