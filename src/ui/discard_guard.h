#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

// Escape in an editor asks before it drops what was typed: with the entries changed since
// remember(), the person is asked whether to discard them (No, the default, keeps the window
// open); unchanged, the window closes at once. Other ways of closing are left alone.
class DiscardGuard : public QObject {
    Q_OBJECT
public:
    explicit DiscardGuard(QDialog* editor);

    // The entries as they stand now count as unchanged.
    void remember();
    // Runs what the program itself writes into the window (a box filled in on leaving it, a
    // list loaded again): every entry it changes counts as unchanged afterwards, while what the
    // person changed elsewhere still counts.
    void programWrites(const std::function<void()>& write);
    bool changed() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Entries = QHash<const QWidget*, QString>;
    Entries entries() const;

    QDialog* m_editor;
    Entries m_remembered;
};
