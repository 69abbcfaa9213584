#include "ui/eliding_combo.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

QRect ElidingComboBox::textField(const QStyleOptionComboBox& option) const {
    return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                   this);
}

QString ElidingComboBox::shownText() const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    // The label is drawn a few pixels in from the field's edges.
    const int room = textField(option).width() - 4;
    return fontMetrics().elidedText(option.currentText, Qt::ElideRight, room);
}

void ElidingComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = shownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
