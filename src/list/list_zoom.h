#pragma once

#include <QFont>
#include <QObject>
#include <QString>

class QAbstractItemView;
class QWidget;

// Zooms a list's text and rows from the keyboard, as the print preview zooms its page: Ctrl
// with "+" (with or without Shift, or Ctrl+=) in, Ctrl+minus out, Ctrl+0 back to the usual
// size, and Ctrl with the wheel over the list. The zoom is kept in the settings under `key` and
// comes back at the next start; the list's place and size stay as they are.
class ListZoom : public QObject {
    Q_OBJECT
public:
    ListZoom(QAbstractItemView* list, QWidget* window, const QString& key);

    // The zoom in percent of the usual size.
    int percent() const;
    void zoomIn();
    void zoomOut();
    void reset();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void show(int step, bool keep);

    QAbstractItemView* m_list;
    QFont m_usual;
    QString m_key;
    int m_step;
};
