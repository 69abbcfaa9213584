#include "ui/shown_text.h"

#include <QTextDocumentFragment>

namespace {

constexpr char16_t kFirstStrongIsolate = 0x2068;
constexpr char16_t kPopDirectionalIsolate = 0x2069;

const char* nameOf(char16_t c) {
    switch (c) {
    case 0x202A:
        return "[LRE]";
    case 0x202B:
        return "[RLE]";
    case 0x202C:
        return "[PDF]";
    case 0x202D:
        return "[LRO]";
    case 0x202E:
        return "[RLO]";
    case 0x2066:
        return "[LRI]";
    case 0x2067:
        return "[RLI]";
    case 0x2068:
        return "[FSI]";
    default:
        return "[PDI]";
    }
}

// Characters that can change the order of what is shown: right-to-left letters and the
// direction controls. Everything below Hebrew is plainly left to right or neutral.
bool mayReorder(QChar c) {
    if (c.unicode() < 0x0590)
        return false;
    if (IsDirectionControl(c))
        return true;
    switch (c.direction()) {
    case QChar::DirR:
    case QChar::DirAL:
        return true;
    default:
        return false;
    }
}

} // namespace

bool IsDirectionControl(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

QString ShownSafely(const QString& stored) {
    bool reorders = false;
    for (const QChar c : stored) {
        if (mayReorder(c)) {
            reorders = true;
            break;
        }
    }
    if (!reorders)
        return stored;
    QString shown;
    shown.reserve(stored.size() + 8);
    shown += QChar(kFirstStrongIsolate);
    for (const QChar c : stored) {
        if (IsDirectionControl(c))
            shown += QLatin1String(nameOf(c.unicode()));
        else
            shown += c;
    }
    shown += QChar(kPopDirectionalIsolate);
    return shown;
}

QString HtmlAsText(const QString& html) {
    return QTextDocumentFragment::fromHtml(html).toPlainText();
}
