#include "ui/focus_return.h"

#include <QApplication>

FocusReturn::FocusReturn()
    : m_window(QApplication::activeWindow()), m_focus(QApplication::focusWidget()) {}

FocusReturn::~FocusReturn() {
    if (!m_window || !m_window->isVisible() || m_window->isMinimized())
        return;
    // A window opened over it meanwhile (and still open) keeps the keyboard.
    if (QWidget* modal = QApplication::activeModalWidget();
        modal && modal != m_window && !modal->isAncestorOf(m_window))
        return;
    if (QApplication::activeWindow() != m_window)
        m_window->activateWindow();
    if (m_focus && m_focus->window() == m_window && m_focus->isVisible() && m_focus->isEnabled())
        m_focus->setFocus(Qt::ActiveWindowFocusReason);
}
