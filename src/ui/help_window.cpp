#include "ui/help_window.h"

#include "ui/appearance.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// The window open now, if any: F1 again shows another part in the same window.
QPointer<HelpWindow>& openHelp() {
    static QPointer<HelpWindow> window;
    return window;
}

// F1 anywhere in the program opens the guide at the part for the window in use.
class F1Key : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
            return QObject::eventFilter(watched, event);
        QWidget* window = static_cast<QWidget*>(watched)->window();
        if (qobject_cast<HelpWindow*>(window))
            return true;
        // A window opened over a modal one must be its child to take the keyboard.
        HelpWindow* help = openHelp();
        if (!help || help->parentWidget() != window) {
            delete help;
            help = new HelpWindow(window);
            openHelp() = help;
        }
        help->showSection(HelpWindow::sectionFor(window->objectName()));
        help->show();
        help->raise();
        help->activateWindow();
        return true;
    }
};

} // namespace

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(tr("%1 Help").arg(kProductTitle));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    auto* findLabel = new QLabel(tr("&Find in the guide:"), this);
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("HelpFind"));
    m_find->setAccessibleName(tr("Find in the guide"));
    findLabel->setBuddy(m_find);
    m_find->installEventFilter(this);
    m_guide = new QTextBrowser(this);
    m_guide->setObjectName(QStringLiteral("HelpGuide"));
    m_guide->setAccessibleName(tr("The user's guide"));
    m_guide->setOpenExternalLinks(false);
    m_guide->setTabChangesFocus(true);
    QFile guide(QStringLiteral(":/guide/guide.md"));
    if (guide.open(QIODevice::ReadOnly))
        m_guide->setMarkdown(QString::fromUtf8(guide.readAll()));
    layout->addWidget(findLabel);
    layout->addWidget(m_find);
    layout->addWidget(m_guide, 1);
    setTabOrder(m_find, m_guide);
    resize(820, 640);
}

QString HelpWindow::sectionFor(const QString& windowName) {
    static const std::pair<const char*, const char*> kSections[] = {
        {"Form1", "The keyboard"},
        {"Form2", "The call editor"},
        {"Form3", "The call editor"},
        {"Form5", "The call editor"},
        {"Form4", "Reports"},
        {"ReportPreview", "Reports"},
        {"CallHistory", "Nothing a slip can lose"},
        {"DeletedCalls", "Nothing a slip can lose"},
        {"SummaryWindow", "Summary"},
        {"ImportWindow", "Importing calls"},
    };
    for (const auto& [window, section] : kSections) {
        if (windowName == QLatin1String(window))
            return QLatin1String(section);
    }
    return QStringLiteral("Using Quorvane");
}

void HelpWindow::showSection(const QString& section) {
    QTextDocument* document = m_guide->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() > 0 && block.text() == section) {
            QTextCursor cursor(block);
            m_guide->setTextCursor(cursor);
            // The heading at the top of the window, not merely somewhere on screen.
            m_guide->verticalScrollBar()->setValue(m_guide->verticalScrollBar()->maximum());
            m_guide->ensureCursorVisible();
            return;
        }
    }
}

void HelpWindow::findNext(bool backwards) {
    const QString words = m_find->text();
    if (words.isEmpty())
        return;
    const QTextDocument::FindFlags flags =
        backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (m_guide->find(words, flags))
        return;
    // Past the end (or the start) the search goes round once.
    QTextCursor from(m_guide->document());
    if (backwards)
        from.movePosition(QTextCursor::End);
    m_guide->setTextCursor(from);
    m_guide->find(words, flags);
}

void HelpWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the find box finds the next place, Shift+Enter the one before.
    if (watched == m_find && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            findNext(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HelpWindow::closeEvent(QCloseEvent* event) {
    if (isActiveWindow() && parentWidget() && parentWidget()->isVisible())
        parentWidget()->activateWindow();
    QWidget::closeEvent(event);
}

void HelpWindow::watchF1() {
    static F1Key* watching = nullptr;
    if (!watching) {
        watching = new F1Key;
        watching->setParent(qApp);
        qApp->installEventFilter(watching);
    }
}
