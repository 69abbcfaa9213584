#pragma once

#include <QDateEdit>
#include <QString>

// A date picker that takes a whole date typed in the locale's form ("15 Jan 2027",
// "15/01/2027", "1/15/27"), not digit by digit into its day, month and year: what is typed
// collects in the box and sets the date when the picker is left, on Enter, or when
// commitTyping() is called. Text that is no date stays in the box as typed (with a beep), so
// that the window can refuse it with its message instead of keeping the old date unseen;
// the arrows, the calendar and the wheel wait until it is put right. The box never looks empty
// while it holds a date: a blank typed first is ignored, and erasing the last typed character
// shows the date again. Only Tab and Shift+Tab leave the picker; Escape drops what was typed;
// the arrow keys and the calendar work as in any date picker.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);

    // Sets the date from what was typed, if anything; answers false when that was no date (the
    // text then stays in the box).
    bool commitTyping();
    bool isTyping() const { return m_typing; }
    const QString& typedText() const { return m_typed; }

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void showTyped();
    void stopTyping();

    QString m_typed;
    bool m_typing = false;
};
