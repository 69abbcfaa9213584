#include "ui/text_guard.h"

#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace {

bool isControl(QChar c) {
    const char16_t code = c.unicode();
    return code < 0x20 || (code >= 0x7f && code <= 0x9f);
}

bool keptInSeveralLines(QChar c) {
    return c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

void guardLine(QLineEdit* box) {
    QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString& text) {
        const QString clean = WithoutControlCharacters(text, false);
        if (clean == text)
            return;
        // The cursor stays after what was typed or pasted.
        const int after = int(text.size()) - box->cursorPosition();
        box->setText(clean);
        box->setCursorPosition(qMax(0, int(clean.size()) - after));
    });
}

void guardLines(QPlainTextEdit* box) {
    QObject::connect(box, &QPlainTextEdit::textChanged, box, [box] {
        const QString text = box->toPlainText();
        QList<int> unwanted;
        for (int i = 0; i < text.size(); ++i) {
            if (isControl(text.at(i)) && !keptInSeveralLines(text.at(i)))
                unwanted << i;
        }
        if (unwanted.isEmpty())
            return;
        // Removed from the end, so that the earlier positions stay right; one step to undo.
        QTextCursor cursor(box->document());
        cursor.beginEditBlock();
        for (auto i = unwanted.crbegin(); i != unwanted.crend(); ++i) {
            cursor.setPosition(*i);
            cursor.setPosition(*i + 1, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
        cursor.endEditBlock();
    });
}

} // namespace

QString WithoutControlCharacters(const QString& text, bool severalLines) {
    QString clean;
    clean.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!isControl(c)) {
            clean += c;
        } else if (severalLines && keptInSeveralLines(c)) {
            clean += c;
        } else if (!severalLines && keptInSeveralLines(c)) {
            // A line break of two characters gives one blank.
            if (!(c == QLatin1Char('\n') && i > 0 && text.at(i - 1) == QLatin1Char('\r')))
                clean += QLatin1Char(' ');
        }
    }
    return clean;
}

void KeepControlCharactersOut(QWidget* window) {
    const auto lines = window->findChildren<QLineEdit*>();
    for (QLineEdit* box : lines) {
        // The editing line of a date picker only takes digits and separators.
        if (!qobject_cast<QAbstractSpinBox*>(box->parentWidget()))
            guardLine(box);
    }
    const auto texts = window->findChildren<QPlainTextEdit*>();
    for (QPlainTextEdit* box : texts)
        guardLines(box);
}
