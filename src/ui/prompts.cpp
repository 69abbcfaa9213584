#include "ui/prompts.h"

#include "ui/appearance.h"
#include "ui/error_trap.h"
#include "ui/fixed_window.h"
#include "ui/focus_return.h"
#include "ui/text_guard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <limits>

namespace {

// The width in pixels of the longest line of `text` in `widget`'s font.
int longestLine(const QWidget* widget, const QString& text) {
    const QFontMetrics metrics(widget->font());
    int widest = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        widest = qMax(widest, metrics.horizontalAdvance(line));
    return widest;
}

// How wide a box may grow before its text wraps: most of the screen, at most 1000 pixels.
int widestBox(const QWidget* box) {
    const QScreen* screen = box->screen();
    const int available = screen ? screen->availableGeometry().width() : 1024;
    return qMin(available * 3 / 4, 1000);
}

// How wide the text of a message box may be. The toolkit's message box grows no wider than
// the screen less 480 pixels (the whole screen up to 1024 pixels), at most 1000 pixels, and
// keeps its margins and its icon beside the text: a text held wider would be cut off at the
// right edge instead of wrapping.
int widestMessage(const QWidget* box) {
    const QScreen* screen = box->screen();
    const int available = screen ? screen->availableGeometry().width() : 1024;
    const int widest = available <= 1024 ? available : qMin(available - 480, 1000);
    const QStyle* style = box->style();
    const int spacing =
        qMax(6, style->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, box));
    const int beside = style->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, box) +
                       style->pixelMetric(QStyle::PM_LayoutRightMargin, nullptr, box) +
                       style->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, box) +
                       3 * spacing + 8;
    return qMin(widestBox(box), widest - beside);
}

// Gives a box its look once the toolkit has built it, just before it shows: text as plain
// text with every line whole (a web address or the last word of a warning never wraps alone
// onto a line of its own), buttons with their words only, and room for the caption.
class BoxLook : public QObject {
public:
    BoxLook(QDialog* box, const QString& text) : QObject(box), m_text(text) {
        KeepFixedBorder(box);
        box->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show && event->type() != QEvent::Polish)
            return QObject::eventFilter(watched, event);
        auto* box = static_cast<QDialog*>(watched);
        const auto buttons = box->findChildren<QAbstractButton*>();
        for (QAbstractButton* button : buttons)
            button->setIcon(QIcon());
        const auto labels = box->findChildren<QLabel*>();
        for (QLabel* label : labels) {
            if (label->text() != m_text)
                continue;
            label->setTextFormat(Qt::PlainText);
            const int widest =
                qobject_cast<QMessageBox*>(box) ? widestMessage(box) : widestBox(box);
            label->setMinimumWidth(qMin(longestLine(label, m_text) + 2, widest));
        }
        // The caption in the title bar stays whole beside the window manager's buttons.
        if (auto* field = box->findChild<QLineEdit*>()) {
            // No length limit: the answer keeps whatever is typed or pasted.
            field->setMaxLength(std::numeric_limits<int>::max());
            const int caption = QFontMetrics(box->font()).horizontalAdvance(box->windowTitle());
            field->setMinimumWidth(qMin(qMax(300, caption + 150), widestBox(box)));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QString m_text;
};

// Gives a box the picture of `kind`, drawn by the desktop's icon theme where the theme has one
// (`name` is the picture's name in freedesktop icon themes), else by the toolkit.
void setBoxIcon(QMessageBox& box, QMessageBox::Icon kind, const char* name) {
    box.setIcon(kind);
    const QIcon themed = QIcon::fromTheme(QLatin1String(name));
    if (themed.isNull())
        return;
    const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    box.setIconPixmap(themed.pixmap(QSize(size, size), box.devicePixelRatioF()));
}

class QtPrompts : public Prompts {
public:
    int message(const QString& text, int style, const QString& title) override {
        const FocusReturn focus;
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(title.isEmpty() ? AppTitle() : title);
        const QString lines = QString(text)
                                  .replace(QLatin1String("\r\n"), QLatin1String("\n"))
                                  .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        // What the user typed is shown as typed: a title like "<b>x</b>" keeps its tags.
        box.setTextFormat(Qt::PlainText);
        box.setText(lines);
        // What a box says can be selected and copied (names, values, paths).
        box.setTextInteractionFlags(Qt::TextSelectableByMouse);
        new BoxLook(&box, lines);
        switch (style & 0x70) {
        case Critical:
            setBoxIcon(box, QMessageBox::Critical, "dialog-error");
            break;
        case Question:
            setBoxIcon(box, QMessageBox::Question, "dialog-question");
            break;
        case Exclamation:
            setBoxIcon(box, QMessageBox::Warning, "dialog-warning");
            break;
        case Information:
            setBoxIcon(box, QMessageBox::Information, "dialog-information");
            break;
        default:
            break;
        }
        if ((style & 7) == YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton((style & DefaultButton2) ? QMessageBox::No : QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            return box.exec() == QMessageBox::Yes ? Yes : No;
        }
        if ((style & 7) == AbortRetryIgnore) {
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Ignore | QMessageBox::Abort);
            box.button(QMessageBox::Ignore)->setText(QStringLiteral("Continue"));
            box.button(QMessageBox::Abort)->setText(QStringLiteral("Quit"));
            box.setDefaultButton(QMessageBox::Retry);
            box.setEscapeButton(QMessageBox::Ignore);
            const int pressed = box.exec();
            return pressed == QMessageBox::Retry   ? Retry
                   : pressed == QMessageBox::Abort ? Abort
                                                   : Ignore;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return Ok;
    }

    std::optional<QString> input(const QString& prompt, const QString& title) override {
        const FocusReturn focus;
        QInputDialog dialog(QApplication::activeWindow());
        dialog.setWindowTitle(title.isEmpty() ? AppTitle() : title);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setLabelText(prompt);
        new BoxLook(&dialog, prompt);
        KeepControlCharactersOut(&dialog);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }

    void showModal(QDialog& window) override {
        const FocusReturn focus;
        window.exec();
    }
};

Prompts* installed = nullptr;

} // namespace

Prompts& CurrentPrompts() {
    // A report held back by the running command comes before any box or window that follows.
    ShowPendingErrorReports();
    static QtPrompts qtPrompts;
    return installed ? *installed : qtPrompts;
}

void InstallPrompts(Prompts* prompts) {
    installed = prompts;
}

int MsgBox(const QString& text, int style, const QString& title) {
    // A box without a caption of its own carries the application title.
    return CurrentPrompts().message(text, style, title.isEmpty() ? AppTitle() : title);
}

std::optional<QString> InputBox(const QString& prompt, const QString& title) {
    // The answer is one line, as its box shows it.
    std::optional<QString> answer = CurrentPrompts().input(prompt, title);
    if (answer)
        *answer = WithoutControlCharacters(*answer, false);
    return answer;
}
