// The main window's two layouts: the design layout restored in the normal state, and the one
// computed for the maximized state from the window's outer size.

#include "app/main_window.h"

#include "list/call_list_tools.h"

#include "ui/twips.h"

#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>

void Form1::applyLayoutForState() {
    // The layout below is that of the list's full height; an open find bar takes its room
    // afterwards.
    if (m_tools)
        m_tools->releaseRoom();
    struct FindRoom {
        CallListTools* tools;
        ~FindRoom() {
            if (tools)
                tools->takeRoom();
        }
    } findRoom{m_tools};
    const Qt::WindowStates state = windowState();
    // The formulas take the window's outer size, title bar and borders included, as a window
    // is measured on the platform they were made for.
    const QRect outer = frameGeometry();
    const double width = PixelsToTwips(outer.width());
    const double height = PixelsToTwips(outer.height());
    auto place = [](QWidget* w, double left, double top) {
        w->move(TwipsToPixels(left), TwipsToPixels(top));
    };
    auto left = [](QWidget* w) { return PixelsToTwips(w->x()); };
    auto top = [](QWidget* w) { return PixelsToTwips(w->y()); };
    auto wide = [](QWidget* w) { return PixelsToTwips(w->width()); };
    auto high = [](QWidget* w) { return PixelsToTwips(w->height()); };
    auto placeOthers = [&] {
        place(PushButton1, wide(PushButton2) + left(PushButton2) + 120, top(PushButton2));
        place(PushButton4, wide(PushButton1) + left(PushButton1) + 120, top(PushButton2));
        place(PushButton3, left(PushButton2), high(PushButton2) + top(PushButton2) + 105);
        place(PushButton5, wide(PushButton3) + left(PushButton3) + 120, top(PushButton3));
        place(PushButton6, wide(PushButton5) + left(PushButton5) + 120, top(PushButton3));
    };
    if (state & Qt::WindowMaximized) {
        ListView1->resize(TwipsToPixels(width - 330), ListView1->height());
        ListView1->resize(ListView1->width(),
                          TwipsToPixels(height - 2 * high(PushButton2) - 315 - 120 - 465));
        place(PushButton2, width / 2 - 1.5 * wide(PushButton2) - 480, top(PushButton2));
        place(PushButton2, left(PushButton2), high(ListView1) + 105 + 120);
        placeOthers();
        WasMaximized = true;
        m_maximizedSize = size();
    } else if (!(state & Qt::WindowMinimized) && WasMaximized) {
        ListView1->resize(TwipsToPixels(11760), TwipsToPixels(5475));
        place(PushButton2, 120, 5680);
        placeOthers();
        // A window manager may report the normal state before the restored size: a move
        // now would carry the maximized size along and keep the window that large. The
        // resize that follows centres the window.
        const QScreen* screen = this->screen();
        if (screen && size() != m_maximizedSize) {
            const QRect available = screen->geometry();
            move(available.x() + (available.width() - frameGeometry().width()) / 2,
                 available.y() + (available.height() - frameGeometry().height()) / 2);
        }
    }
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_client->setGeometry(rect());
    applyLayoutForState();
}

void Form1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        applyLayoutForState();
    else if (m_tools &&
             (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange))
        m_tools->updateOverdueColor();
    else if (m_tools && event->type() == QEvent::ActivationChange)
        m_tools->updateToday();
}
