#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

// Text folded for finding: letter case and accents do not count ("Müller" folds to "muller").
QString FoldForFind(const QString& text);

// The bar under the call list that filters it: a text to find, "Open calls only" and the count
// of the calls shown. Escape or the close button asks to close it.
class FindBar : public QWidget {
    Q_OBJECT
public:
    explicit FindBar(QWidget* parent = nullptr);

    // The words to find, as typed (empty for every call).
    QString needle() const;
    bool openCallsOnly() const;
    // Shows "<shown> of <total> calls", and while the comments are still read for a short
    // word, that more may come.
    void setCount(int shown, int total, bool searching = false);
    // Empties the text and the check box without announcing it.
    void clear();
    // Focuses the text with all of it selected.
    void focusText();

    QLineEdit* FindText;
    QCheckBox* OpenCallsOnly;
    QLabel* FindCount;
    QToolButton* FindClose;

signals:
    void changed();
    void closeRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
