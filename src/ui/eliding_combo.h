#pragma once

#include <QComboBox>

// A drop-down list whose shown entry ends in an ellipsis when it is longer than the list is
// wide, so that a long name is never cut off silently at the arrow. The open list shows every
// name whole.
class ElidingComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;

    // The text the closed list shows for its current entry.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect textField(const QStyleOptionComboBox& option) const;
};
