#include "ui/fixed_window.h"

#include "ui/twips.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

// Brings a fixed window back to its normal state whenever something minimizes or maximizes it.
class KeepNormal : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::WindowStateChange) {
            auto* window = static_cast<QWidget*>(watched);
            if (window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) {
                QTimer::singleShot(0, window, [window] {
                    window->setWindowState(window->windowState() &
                                           ~(Qt::WindowMinimized | Qt::WindowMaximized));
                    window->activateWindow();
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void KeepFixedBorder(QWidget* window) {
    window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    window->installEventFilter(new KeepNormal(window));
}

void MakeFixedBorder(QWidget* window, int widthTwips, int heightTwips) {
    KeepFixedBorder(window);
    window->setFixedSize(TwipsToPixels(widthTwips), TwipsToPixels(heightTwips));
}

void CentreOnScreen(QWidget* window) {
    QWidget* opener = window->parentWidget();
    QScreen* screen = opener ? opener->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}
