#include "ui/screen_fit.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace {

// The frame that the window manager puts around `window`. Before a window is first shown its
// frame is not known yet, so room is kept for a title bar.
QMargins frameOf(const QWidget* window) {
    const QRect inner = window->geometry();
    const QRect outer = window->frameGeometry();
    QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                   outer.right() - inner.right(), outer.bottom() - inner.bottom());
    if (frame.isNull() && !(window->windowFlags() & Qt::FramelessWindowHint))
        frame.setTop(window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window));
    return frame;
}

bool isFittedWindow(const QWidget* widget) {
    if (!widget->isWindow())
        return false;
    const Qt::WindowType type = widget->windowType();
    return type == Qt::Window || type == Qt::Dialog || type == Qt::Sheet;
}

class WindowFitter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The show event comes before the window appears, so it appears in its place at once.
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (isFittedWindow(widget))
                FitOnScreen(widget);
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void FitOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QMargins frame = frameOf(window);
    const QSize room = area.size().shrunkBy(frame);
    const QSize size = window->size();
    const QSize fitted = size.boundedTo(room).expandedTo(window->minimumSize());
    if (fitted != size)
        window->resize(fitted);
    // Left and top edges win where a window cannot be made small enough: its title bar stays
    // within reach.
    const QRect outer(window->frameGeometry().topLeft(), window->size().grownBy(frame));
    const int x = qMax(area.left(), qMin(outer.left(), area.right() + 1 - outer.width()));
    const int y = qMax(area.top(), qMin(outer.top(), area.bottom() + 1 - outer.height()));
    if (x != outer.left() || y != outer.top())
        window->move(x, y);
}

void KeepWindowsOnScreen() {
    static WindowFitter* fitter = nullptr;
    if (!fitter) {
        fitter = new WindowFitter(qApp);
        qApp->installEventFilter(fitter);
    }
}
