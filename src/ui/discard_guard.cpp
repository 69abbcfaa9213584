#include "ui/discard_guard.h"

#include "ui/prompts.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDialog>
#include <QKeyEvent>
#include <QMetaProperty>

DiscardGuard::DiscardGuard(QDialog* editor) : QObject(editor), m_editor(editor) {
    editor->installEventFilter(this);
}

DiscardGuard::Entries DiscardGuard::entries() const {
    // What a person can change: the value each box, list and picker presents as its own
    // (text, chosen entry, date). The boxes inside lists and pickers are part of those, and a
    // box that only shows (read-only) takes nothing from the person.
    Entries values;
    const auto widgets = m_editor->findChildren<QWidget*>();
    for (const QWidget* widget : widgets) {
        // Buttons and scroll bars change nothing that is saved.
        if (qobject_cast<const QAbstractButton*>(widget) ||
            qobject_cast<const QAbstractSlider*>(widget) ||
            qobject_cast<const QAbstractSpinBox*>(widget->parentWidget()) ||
            qobject_cast<const QComboBox*>(widget->parentWidget()) ||
            widget->property("readOnly").toBool())
            continue;
        const QMetaProperty value = widget->metaObject()->userProperty();
        if (value.isValid())
            values.insert(widget, value.read(widget).toString());
    }
    return values;
}

void DiscardGuard::remember() {
    m_remembered = entries();
}

void DiscardGuard::programWrites(const std::function<void()>& write) {
    const Entries before = entries();
    write();
    const Entries after = entries();
    for (auto entry = after.cbegin(); entry != after.cend(); ++entry)
        if (before.value(entry.key()) != entry.value() || !before.contains(entry.key()))
            m_remembered.insert(entry.key(), entry.value());
}

bool DiscardGuard::changed() const {
    return entries() != m_remembered;
}

bool DiscardGuard::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editor && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && changed() &&
            MsgBox(tr("Discard the changes made in this window?"),
                   Prompts::YesNo | Prompts::DefaultButton2) != Prompts::Yes)
            return true;
    }
    return QObject::eventFilter(watched, event);
}
