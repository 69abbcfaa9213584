#include "ui/date_picker.h"

#include "data/date_text.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent) {
    setDisplayFormat(DateText::datePattern());
}

bool DatePicker::focusNextPrevChild(bool next) {
    // Tab leaves the picker for the next control, as in every other field.
    return QWidget::focusNextPrevChild(next);
}

void DatePicker::showTyped() {
    // The picker's own reading of its text stays out of it until the typing is done.
    QLineEdit* edit = lineEdit();
    const bool blocked = edit->blockSignals(true);
    edit->setText(m_typed);
    edit->setCursorPosition(int(m_typed.size()));
    edit->blockSignals(blocked);
    edit->update();
}

void DatePicker::stopTyping() {
    m_typing = false;
    m_typed.clear();
    // Shows the date again in the picker's own form.
    QLineEdit* edit = lineEdit();
    const bool blocked = edit->blockSignals(true);
    edit->setText(textFromDateTime(dateTime()));
    edit->blockSignals(blocked);
    edit->update();
}

bool DatePicker::commitTyping() {
    if (!m_typing)
        return true;
    const std::optional<QDateTime> typed = DateText::parse(m_typed);
    const bool valid =
        typed.has_value() && typed->date() >= minimumDate() && typed->date() <= maximumDate();
    if (!valid) {
        QApplication::beep();
        showTyped();
        return false;
    }
    stopTyping();
    setDate(typed->date());
    return true;
}

void DatePicker::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const QString text = event->text();
    const bool control = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    if (!control && !text.isEmpty() && text.at(0).isPrint()) {
        // A blank before anything else would leave the box looking empty.
        if (!m_typing && text.trimmed().isEmpty()) {
            event->accept();
            return;
        }
        if (!m_typing) {
            m_typing = true;
            m_typed.clear();
        }
        m_typed += text;
        showTyped();
        event->accept();
        return;
    }
    if (m_typing) {
        switch (key) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Delete:
            // Keys on the way to the next character change nothing of what was typed.
            event->accept();
            return;
        default:
            break;
        }
        if (key == Qt::Key_Backspace) {
            m_typed.chop(1);
            if (m_typed.trimmed().isEmpty())
                stopTyping();
            else
                showTyped();
            event->accept();
            return;
        }
        if (key == Qt::Key_Escape) {
            stopTyping();
            event->accept();
            return;
        }
        // Enter, Up and Down, the calendar key and the rest act on the date that was typed;
        // on text that is no date they wait (Enter still goes on to the window's button).
        if (!commitTyping() && key != Qt::Key_Return && key != Qt::Key_Enter) {
            event->accept();
            return;
        }
        if (m_typing) {
            event->ignore();
            return;
        }
    } else if (key == Qt::Key_Backspace || key == Qt::Key_Delete) {
        // Erasing a part of the shown date would leave a box that shows no date.
        event->accept();
        return;
    }
    QDateEdit::keyPressEvent(event);
    // Nothing the picker does with a key (a cut, say) leaves it showing no date.
    if (lineEdit()->text().trimmed().isEmpty())
        stopTyping();
}

void DatePicker::mousePressEvent(QMouseEvent* event) {
    // The calendar and the arrows start from the date that was typed.
    if (!commitTyping())
        return;
    QDateEdit::mousePressEvent(event);
}

void DatePicker::wheelEvent(QWheelEvent* event) {
    if (!commitTyping())
        return;
    QDateEdit::wheelEvent(event);
}

void DatePicker::focusOutEvent(QFocusEvent* event) {
    // Text that is no date stays as typed; the picker's own handling would put the old date
    // back in its place.
    if (!commitTyping()) {
        QWidget::focusOutEvent(event);
        return;
    }
    QDateEdit::focusOutEvent(event);
}
