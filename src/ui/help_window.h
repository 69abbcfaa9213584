#pragma once

#include <QWidget>

class QLineEdit;
class QTextBrowser;

// The user's guide, shipped inside the program and read offline: a window with the guide and a
// find box (Enter finds the next place, Shift+Enter the one before), opened by F1 in every
// window at the part of the guide about that window. Escape closes it.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the part of the guide under the heading `section` (its first line on top).
    void showSection(const QString& section);
    QTextBrowser* guide() const { return m_guide; }
    QLineEdit* findBox() const { return m_find; }
    // The heading of the part of the guide about the window named `windowName`.
    static QString sectionFor(const QString& windowName);
    // Makes F1 open the guide in every window of the program, once for the application.
    static void watchF1();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closed while in use, it gives the keyboard back to the window it was opened from.
    void closeEvent(QCloseEvent* event) override;

private:
    void findNext(bool backwards);

    QTextBrowser* m_guide;
    QLineEdit* m_find;
};
