#pragma once

#include <QPointer>
#include <QWidget>

// Gives the keyboard back when a box or a window closes: to the window that was active when it
// opened, and there to the control that had the focus (the list with its selection, or the box
// being typed in). A window manager that is left to choose may give the focus to no window of
// the program, and then no shortcut works until the person clicks into a window.
class FocusReturn {
public:
    FocusReturn();
    ~FocusReturn();
    FocusReturn(const FocusReturn&) = delete;
    FocusReturn& operator=(const FocusReturn&) = delete;

private:
    QPointer<QWidget> m_window;
    QPointer<QWidget> m_focus;
};
