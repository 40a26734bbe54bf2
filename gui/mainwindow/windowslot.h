#pragma once

#include <QPointer>
#include <QWidget>

#include <utility>

// The place of a secondary window that exists at most once. Showing it makes the window when
// there is none (it deletes itself when closed) and otherwise brings the open one forward. The
// slot deletes a window still open when the slot itself goes (the windows have no owner, so
// nothing else would). User-interface thread only.
namespace Sveltra {

template <typename Window>
class WindowSlot final
{
public:
    WindowSlot() = default;
    ~WindowSlot() { delete m_window.data(); }
    Q_DISABLE_COPY_MOVE(WindowSlot)

    // make() returns a new window; it is called only when none is open.
    template <typename Make>
    Window *show(Make &&make)
    {
        if (!m_window) {
            m_window = std::forward<Make>(make)();
            m_window->setAttribute(Qt::WA_DeleteOnClose);
        }
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
        return m_window.data();
    }

    Window *window() const { return m_window.data(); }

private:
    QPointer<Window> m_window;
};

} // namespace Sveltra
