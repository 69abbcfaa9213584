#include "ui/exact_text_edit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>

namespace {

bool isLineBreak(QChar c) {
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator;
}

// Splits text into the units that become one document character each: a CR LF pair is one
// unit, like every other character.
QStringList unitsOf(const QString& text) {
    QStringList units;
    units.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size() &&
            text.at(i + 1) == QLatin1Char('\n')) {
            units << QStringLiteral("\r\n");
            ++i;
        } else {
            units << QString(text.at(i));
        }
    }
    return units;
}

// The text the document is given for the units: every line break a line feed.
QString shownText(const QStringList& units) {
    QString shown;
    shown.reserve(units.size());
    for (const QString& unit : units)
        shown += isLineBreak(unit.at(0)) ? QChar(QLatin1Char('\n')) : unit.at(0);
    return shown;
}

// The document's character at `position`, as it would be shown.
QChar shownAt(const QTextDocument* document, int position) {
    const QChar c = document->characterAt(position);
    return c == QChar::ParagraphSeparator ? QChar(QLatin1Char('\n')) : c;
}

} // namespace

ExactTextEdit::ExactTextEdit(QWidget* parent) : QPlainTextEdit(parent) {
    connect(document(), &QTextDocument::contentsChange, this, &ExactTextEdit::documentChanged);
}

void ExactTextEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Tab && event->modifiers() == Qt::ControlModifier &&
        tabChangesFocus() && !isReadOnly()) {
        insertPlainText(QStringLiteral("\t"));
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void ExactTextEdit::setExactText(const QString& text) {
    m_units = unitsOf(text);
    // New lines typed into the text take the line end it uses most.
    const int crlf = int(text.count(QStringLiteral("\r\n")));
    m_newLine = crlf > 0 && crlf >= text.count(QLatin1Char('\n')) - crlf ? QStringLiteral("\r\n")
                                                                         : QStringLiteral("\n");
    m_loading = true;
    setPlainText(shownText(m_units));
    m_loading = false;
    resynchronise();
}

QString ExactTextEdit::exactText() const {
    return m_units.join(QString());
}

void ExactTextEdit::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    m_pasted = unitsOf(source->text());
    QMimeData shown;
    shown.setText(shownText(m_pasted));
    QPlainTextEdit::insertFromMimeData(&shown);
    m_pasted.clear();
}

void ExactTextEdit::documentChanged(int position, int removed, int added) {
    if (m_loading)
        return;
    const QTextDocument* document = this->document();
    position = qBound(0, position, int(m_units.size()));
    removed = qBound(0, removed, int(m_units.size()) - position);
    added = qBound(0, added, document->characterCount() - 1 - position);
    QString shownAdded;
    for (int i = 0; i < added; ++i)
        shownAdded += shownAt(document, position + i);
    // A change that leaves the characters as they were (the document may report one) keeps
    // what they stand for.
    if (removed == added && shownText(m_units.mid(position, removed)) == shownAdded)
        return;
    QStringList units;
    const int pastedAt = m_pasted.isEmpty() ? -1 : int(shownAdded.indexOf(shownText(m_pasted)));
    for (int i = 0; i < added;) {
        if (i == pastedAt) {
            units += m_pasted;
            i += int(m_pasted.size());
            continue;
        }
        const QChar c = shownAdded.at(i);
        units << (c == QLatin1Char('\n') ? m_newLine : QString(c));
        ++i;
    }
    m_units = m_units.mid(0, position) + units + m_units.mid(position + removed);
    resynchronise();
}

void ExactTextEdit::resynchronise() {
    // Should the document ever report its changes differently, its own text wins.
    const QTextDocument* document = this->document();
    const int length = document->characterCount() - 1;
    if (m_units.size() == length)
        return;
    QStringList units;
    for (int i = 0; i < length; ++i) {
        const QChar c = shownAt(document, i);
        units << (c == QLatin1Char('\n') ? m_newLine : QString(c));
    }
    m_units = units;
}
