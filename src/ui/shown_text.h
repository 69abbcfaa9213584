#pragma once

#include <QString>

// A stored text as the list, its tooltips and the reports show it. Text written right to left
// (or holding the invisible controls of writing direction) could reorder what stands around
// it, or hide what it says: "abc" RLO "evil.exe" shows as "abcexe.live". Such a text is
// isolated, so that its direction stays inside it, and each explicit direction control in it
// (embeddings, overrides, isolates and their ends) is shown as a visible mark such as "[RLO]"
// instead of acting. Every other text is shown as stored; the stored text never changes.
QString ShownSafely(const QString& stored);

// True for the explicit direction controls that ShownSafely makes visible.
bool IsDirectionControl(QChar c);

// The text of an HTML page (of a mail without a plain text), as a browser would show it,
// without loading anything it names.
QString HtmlAsText(const QString& html);
