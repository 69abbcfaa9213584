#include "list/list_zoom.h"

#include "ui/app_paths.h"
#include "ui/appearance.h"

#include <QAbstractItemView>
#include <QShortcut>
#include <QWheelEvent>
#include <algorithm>
#include <iterator>

namespace {
// The steps of the zoom, in percent; the usual size is one of them.
constexpr int kSteps[] = {50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};
constexpr int kUsualStep = 5;
constexpr int kLastStep = int(std::size(kSteps)) - 1;
} // namespace

ListZoom::ListZoom(QAbstractItemView* list, QWidget* window, const QString& key)
    : QObject(list), m_list(list), m_usual(list->font()), m_key(key), m_step(kUsualStep) {
    const auto keys = [&](std::initializer_list<QKeySequence> sequences, void (ListZoom::*act)()) {
        for (const QKeySequence& sequence : sequences) {
            auto* shortcut = new QShortcut(sequence, window);
            connect(shortcut, &QShortcut::activated, this, act);
        }
    };
    keys({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Plus),
          QKeySequence(Qt::CTRL | Qt::Key_Equal),
          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Equal)},
         &ListZoom::zoomIn);
    keys({QKeySequence(Qt::CTRL | Qt::Key_Minus)}, &ListZoom::zoomOut);
    keys({QKeySequence(Qt::CTRL | Qt::Key_0)}, &ListZoom::reset);
    list->viewport()->installEventFilter(this);

    // A kept zoom that is none of the steps (typed into the settings by hand) is the usual size.
    const int kept = GetSetting(kVendor, kProductTitle, m_key, QString()).toInt();
    const auto found = std::find(std::begin(kSteps), std::end(kSteps), kept);
    if (found != std::end(kSteps))
        show(int(found - std::begin(kSteps)), false);
}

int ListZoom::percent() const {
    return kSteps[m_step];
}

void ListZoom::zoomIn() {
    show(std::min(m_step + 1, kLastStep), true);
}

void ListZoom::zoomOut() {
    show(std::max(m_step - 1, 0), true);
}

void ListZoom::reset() {
    show(kUsualStep, true);
}

void ListZoom::show(int step, bool keep) {
    m_step = step;
    QFont font = m_usual;
    font.setPointSizeF(m_usual.pointSizeF() * kSteps[step] / 100.0);
    m_list->setFont(font);
    if (keep)
        SaveSetting(kVendor, kProductTitle, m_key, QString::number(kSteps[step]));
}

bool ListZoom::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            if (wheel->angleDelta().y() > 0)
                zoomIn();
            else if (wheel->angleDelta().y() < 0)
                zoomOut();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
