#include "ui/prompts.h"

#include "ui/appearance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>

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

// Every line of a box's text stays whole unless the box would grow past the screen: a web
// address or the last word of a warning never wraps alone onto a line of its own.
void keepLinesWhole(QLabel* label, const QString& text) {
    label->setMinimumWidth(qMin(longestLine(label, text) + 2, widestBox(label)));
}

// Buttons of a box show their words only, as every box of the program does.
void plainButtons(const QList<QAbstractButton*>& buttons) {
    for (QAbstractButton* button : buttons)
        button->setIcon(QIcon());
}

class QtPrompts : public Prompts {
public:
    int message(const QString& text, int style, const QString& title) override {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(title.isEmpty() ? AppTitle() : title);
        const QString lines = QString(text)
                                  .replace(QLatin1String("\r\n"), QLatin1String("\n"))
                                  .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        // What the user typed is shown as typed: a title like "<b>x</b>" keeps its tags.
        box.setTextFormat(Qt::PlainText);
        box.setText(lines);
        switch (style & 0x70) {
        case Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case 64:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
        }
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            keepLinesWhole(label, lines);
        if ((style & 7) == YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton((style & DefaultButton2) ? QMessageBox::No : QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            plainButtons(box.buttons());
            return box.exec() == QMessageBox::Yes ? Yes : No;
        }
        box.setStandardButtons(QMessageBox::Ok);
        plainButtons(box.buttons());
        box.exec();
        return Ok;
    }

    std::optional<QString> input(const QString& prompt, const QString& title) override {
        QInputDialog dialog(QApplication::activeWindow());
        dialog.setWindowTitle(title.isEmpty() ? AppTitle() : title);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setLabelText(prompt);
        const auto labels = dialog.findChildren<QLabel*>();
        for (QLabel* label : labels) {
            label->setTextFormat(Qt::PlainText);
            keepLinesWhole(label, prompt);
        }
        // Wide enough for the prompt and for the caption in the title bar.
        const int titleWidth = QFontMetrics(dialog.font()).horizontalAdvance(dialog.windowTitle());
        dialog.setMinimumWidth(qMin(qMax(360, titleWidth + 160), widestBox(&dialog)));
        const auto buttons = dialog.findChildren<QAbstractButton*>();
        plainButtons(buttons);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }

    void showModal(QDialog& window) override { window.exec(); }
};

Prompts* installed = nullptr;

} // namespace

Prompts& CurrentPrompts() {
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
    return CurrentPrompts().input(prompt, title);
}
