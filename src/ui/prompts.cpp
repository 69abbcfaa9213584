#include "ui/prompts.h"

#include "ui/appearance.h"

#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

class QtPrompts : public Prompts {
public:
    int message(const QString& text, int style, const QString& title) override {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(title.isEmpty() ? AppTitle() : title);
        box.setText(QString(text)
                        .replace(QLatin1String("\r\n"), QLatin1String("\n"))
                        .replace(QLatin1Char('\r'), QLatin1Char('\n')));
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
        if ((style & 7) == YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            return box.exec() == QMessageBox::Yes ? Yes : No;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return Ok;
    }

    std::optional<QString> input(const QString& prompt, const QString& title) override {
        bool ok = false;
        const QString answer = QInputDialog::getText(QApplication::activeWindow(),
                                                     title.isEmpty() ? AppTitle() : title, prompt,
                                                     QLineEdit::Normal, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return answer;
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
