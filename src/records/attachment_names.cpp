#include "records/attachment_names.h"

#include <QHash>
#include <QStringList>

namespace {

bool isDirectionControl(char16_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

bool leftOut(QChar c) {
    const char16_t u = c.unicode();
    return u == u'/' || u == u'\\' || u < 0x20 || (u >= 0x7f && u <= 0x9f) ||
           isDirectionControl(u) || u == 0xFEFF || c.category() == QChar::Other_Format;
}

enum class Kind { Shown, Desktop, Script, Program, Page, Picture };

Kind kindOfExtension(const QString& extension) {
    static const QHash<QString, Kind> kinds{
        {QStringLiteral("desktop"), Kind::Desktop}, {QStringLiteral("sh"), Kind::Script},
        {QStringLiteral("bash"), Kind::Script},     {QStringLiteral("zsh"), Kind::Script},
        {QStringLiteral("csh"), Kind::Script},      {QStringLiteral("py"), Kind::Script},
        {QStringLiteral("pl"), Kind::Script},       {QStringLiteral("rb"), Kind::Script},
        {QStringLiteral("js"), Kind::Script},       {QStringLiteral("jse"), Kind::Script},
        {QStringLiteral("vbs"), Kind::Script},      {QStringLiteral("wsf"), Kind::Script},
        {QStringLiteral("bat"), Kind::Script},      {QStringLiteral("cmd"), Kind::Script},
        {QStringLiteral("ps1"), Kind::Script},      {QStringLiteral("command"), Kind::Script},
        {QStringLiteral("exe"), Kind::Program},     {QStringLiteral("com"), Kind::Program},
        {QStringLiteral("scr"), Kind::Program},     {QStringLiteral("msi"), Kind::Program},
        {QStringLiteral("jar"), Kind::Program},     {QStringLiteral("run"), Kind::Program},
        {QStringLiteral("bin"), Kind::Program},     {QStringLiteral("appimage"), Kind::Program},
        {QStringLiteral("deb"), Kind::Program},     {QStringLiteral("rpm"), Kind::Program},
        {QStringLiteral("elf"), Kind::Program},     {QStringLiteral("html"), Kind::Page},
        {QStringLiteral("htm"), Kind::Page},        {QStringLiteral("xhtml"), Kind::Page},
        {QStringLiteral("shtml"), Kind::Page},      {QStringLiteral("mht"), Kind::Page},
        {QStringLiteral("mhtml"), Kind::Page},      {QStringLiteral("hta"), Kind::Page},
        {QStringLiteral("svg"), Kind::Picture},     {QStringLiteral("svgz"), Kind::Picture},
    };
    return kinds.value(extension.toLower(), Kind::Shown);
}

Kind kindOfType(const QString& type) {
    if (type == QLatin1String("application/x-desktop"))
        return Kind::Desktop;
    if (type.startsWith(QLatin1String("application/x-executable")) ||
        type == QLatin1String("application/x-sharedlib") ||
        type == QLatin1String("application/x-ms-dos-executable") ||
        type == QLatin1String("application/vnd.microsoft.portable-executable") ||
        type == QLatin1String("application/x-msdownload"))
        return Kind::Program;
    if (type == QLatin1String("application/x-shellscript") ||
        type == QLatin1String("text/x-python") || type == QLatin1String("text/x-python3") ||
        type == QLatin1String("application/x-perl") || type == QLatin1String("text/javascript") ||
        type == QLatin1String("application/javascript"))
        return Kind::Script;
    if (type == QLatin1String("text/html") || type == QLatin1String("application/xhtml+xml"))
        return Kind::Page;
    if (type == QLatin1String("image/svg+xml") || type == QLatin1String("image/svg+xml-compressed"))
        return Kind::Picture;
    return Kind::Shown;
}

} // namespace

namespace AttachmentNames {

QString Cleaned(const QString& name) {
    QString cleaned;
    for (const QChar c : name) {
        if (!leftOut(c))
            cleaned += c;
    }
    // A leading dot hides the file, a leading dash makes it an option to the program it is
    // handed to.
    while (!cleaned.isEmpty() && (cleaned.front() == QLatin1Char('.') ||
                                  cleaned.front() == QLatin1Char('-') || cleaned.front().isSpace()))
        cleaned.remove(0, 1);
    while (!cleaned.isEmpty() && (cleaned.back() == QLatin1Char('.') || cleaned.back().isSpace()))
        cleaned.chop(1);
    if (cleaned.isEmpty())
        return QStringLiteral("attachment");
    if (cleaned.toUtf8().size() <= kMaxBytes)
        return cleaned;
    // Too long: the start is shortened, the extension kept (when it is a short one).
    const int dot = cleaned.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > 0 && cleaned.size() - dot <= 16 ? cleaned.mid(dot) : QString();
    QString start = cleaned.left(cleaned.size() - extension.size());
    while (!start.isEmpty() && (start + extension).toUtf8().size() > kMaxBytes) {
        start.chop(1);
        // Never half a pair of surrogates.
        if (!start.isEmpty() && start.back().isHighSurrogate())
            start.chop(1);
    }
    return start + extension;
}

QString Risk(const QString& name, const QString& type) {
    const QString cleaned = Cleaned(name);
    const int dot = cleaned.lastIndexOf(QLatin1Char('.'));
    Kind kind = dot >= 0 ? kindOfExtension(cleaned.mid(dot + 1)) : Kind::Shown;
    if (kind == Kind::Shown)
        kind = kindOfType(type);
    switch (kind) {
    case Kind::Desktop:
        return QStringLiteral("is a desktop entry: opening it can start any program it names");
    case Kind::Script:
        return QStringLiteral("is a script: opening it can run it, with your rights");
    case Kind::Program:
        return QStringLiteral("is a program: opening it can run it, with your rights");
    case Kind::Page:
        return QStringLiteral("is a web page: opening it in a browser runs the scripts in it");
    case Kind::Picture:
        return QStringLiteral("is an SVG picture: opening it in a browser runs the scripts in it");
    case Kind::Shown:
        break;
    }
    return QString();
}

} // namespace AttachmentNames
