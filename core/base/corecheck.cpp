// Compiled into the core library only. The core holds the logic that needs no window; if Qt Gui
// or Qt Widgets ever reach it, this file stops the build.
#if defined(QT_WIDGETS_LIB) || defined(QT_GUI_LIB)
#error "sveltra_core must not depend on Qt Gui or Qt Widgets"
#endif
