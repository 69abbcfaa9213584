#include "list/find_bar.h"

#include "data/folded_text.h"

#include "ui/accessible_names.h"
#include "ui/text_guard.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>

QString FoldForFind(const QString& text) {
    return FoldedForFind(text);
}

FindBar::FindBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FindBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 2);
    auto* label = new QLabel(tr("&Find:"), this);
    FindText = new QLineEdit(this);
    FindText->setObjectName(QStringLiteral("FindText"));
    FindText->setClearButtonEnabled(true);
    FindText->setPlaceholderText(tr("Words in a call's title, comments, names, values or ID"));
    NameAfterLabel(label, FindText);
    OpenCallsOnly = new QCheckBox(tr("Open calls only"), this);
    OpenCallsOnly->setObjectName(QStringLiteral("OpenCallsOnly"));
    FindCount = new QLabel(this);
    FindCount->setObjectName(QStringLiteral("FindCount"));
    FindClose = new QToolButton(this);
    FindClose->setObjectName(QStringLiteral("FindClose"));
    FindClose->setText(tr("Close"));
    FindClose->setToolTip(tr("Show every call again (Esc)"));
    FindClose->setAutoRaise(true);
    // The sign-only buttons say what they do.
    for (auto* clear : FindText->findChildren<QToolButton*>())
        NameSignButton(clear, tr("Clear the text to find"));
    FindClose->setAccessibleName(tr("Close the find bar"));
    layout->addWidget(label);
    layout->addWidget(FindText, 1);
    layout->addWidget(OpenCallsOnly);
    layout->addWidget(FindCount);
    layout->addWidget(FindClose);
    // A text pasted from a title is cleaned as the title was when it was typed, so that a tab
    // or a line break in it still finds the call.
    KeepControlCharactersOut(this);
    connect(FindText, &QLineEdit::textChanged, this, &FindBar::changed);
    connect(OpenCallsOnly, &QCheckBox::toggled, this, &FindBar::changed);
    connect(FindClose, &QToolButton::clicked, this, &FindBar::closeRequested);
}

QString FindBar::needle() const {
    return FindText->text().simplified();
}

bool FindBar::openCallsOnly() const {
    return OpenCallsOnly->isChecked();
}

void FindBar::setCount(int shown, int total, bool searching) {
    const QLocale locale;
    const QString count = tr("%1 of %2 calls").arg(locale.toString(shown), locale.toString(total));
    FindCount->setText(searching ? tr("%1, reading the comments…").arg(count) : count);
}

void FindBar::clear() {
    const QSignalBlocker textBlocker(FindText);
    const QSignalBlocker boxBlocker(OpenCallsOnly);
    FindText->clear();
    OpenCallsOnly->setChecked(false);
}

void FindBar::focusText() {
    FindText->setFocus(Qt::ShortcutFocusReason);
    FindText->selectAll();
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit closeRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}
