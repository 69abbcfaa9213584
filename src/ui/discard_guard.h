#pragma once

#include <QObject>
#include <QStringList>

class QDialog;

// Escape in an editor asks before it drops what was typed: with the entries changed since
// remember(), the person is asked whether to discard them (No, the default, keeps the window
// open); unchanged, the window closes at once. Other ways of closing are left alone.
class DiscardGuard : public QObject {
    Q_OBJECT
public:
    explicit DiscardGuard(QDialog* editor);

    // The entries as they stand now count as unchanged.
    void remember();
    bool changed() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QStringList entries() const;

    QDialog* m_editor;
    QStringList m_remembered;
};
