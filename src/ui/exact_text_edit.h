#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>

// A multi-line text box that gives back exactly the text it was given or that was pasted into
// it, character for character: line ends stay CR LF, lone CR or LF, line and paragraph
// separators stay themselves, no-break spaces stay no-break (the text document underneath
// turns all of these into plain line feeds and blanks). Each character of the document keeps
// the text it stands for; what is typed stands for itself, a new line for the line end that
// the loaded text uses.
class ExactTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit ExactTextEdit(QWidget* parent = nullptr);

    void setExactText(const QString& text);
    QString exactText() const;

protected:
    void insertFromMimeData(const QMimeData* source) override;
    // Where Tab moves the focus on, Ctrl+Tab types a tab.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void documentChanged(int position, int removed, int added);
    void resynchronise();

    // What each character of the document stands for, in document order.
    QStringList m_units;
    // The units of a paste under way.
    QStringList m_pasted;
    QString m_newLine = QStringLiteral("\n");
    bool m_loading = false;
};
