#pragma once

#include <QString>
#include <optional>

class QDialog;

// Every message box, input box and modal window goes through here, so that tests can answer
// them. Box styles and answers follow the classic message-box values.
class Prompts {
public:
    // Styles: buttons 0 OK, 4 Yes/No; icons 16 critical, 32 question, 48 warning, 64 info;
    // 256 makes the second button (No) the default, for every question whose Yes deletes, so
    // that Enter never deletes.
    // 2 asks whether to quit (Abort), retry or go on without (Ignore).
    enum Style {
        OkOnly = 0,
        AbortRetryIgnore = 2,
        YesNo = 4,
        Critical = 16,
        Question = 32,
        Exclamation = 48,
        Information = 64,
        DefaultButton2 = 256
    };
    // Answers.
    enum Answer { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

    virtual ~Prompts() = default;
    // Shows a message box; an empty title means the application title.
    virtual int message(const QString& text, int style, const QString& title) = 0;
    // Asks for a line of text; nothing when the user cancels.
    virtual std::optional<QString> input(const QString& prompt, const QString& title) = 0;
    // Shows a window modally and returns when it has closed.
    virtual void showModal(QDialog& window) = 0;
};

// The prompts in use: the Qt implementation unless a test installed its own.
Prompts& CurrentPrompts();
// Installs `prompts` (not owned); nullptr goes back to the Qt implementation.
void InstallPrompts(Prompts* prompts);

// Shorthands for the common boxes; both take the application title when `title` is empty.
int MsgBox(const QString& text, int style = Prompts::OkOnly, const QString& title = QString());
std::optional<QString> InputBox(const QString& prompt, const QString& title);
