#pragma once

#include <QDateEdit>
#include <QString>

// A date picker that takes a whole date typed in the locale's form ("15 Jan 2027",
// "15/01/2027", "1/15/27"), not digit by digit into its day, month and year: what is typed
// collects in the box and sets the date when the picker is left, on Enter, or when
// commitTyping() is called; text that is no date is dropped and the date stays as it was.
// Only Tab and Shift+Tab leave the picker; Escape drops what was typed; the arrow keys and
// the calendar work as in any date picker.
class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);

    // Sets the date from what was typed, if anything; answers false when that was no date.
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
