#include "ui/appearance.h"

#include "ui/text_guard.h"

#include "data/failure.h"
#include "ui/app_paths.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QStringDecoder>
#include <QWidget>

namespace {

QString& appTitle() {
    static QString title = kProductTitle;
    return title;
}

// The colour of button faces and dialog backgrounds in the current scheme.
void paintButtonFace(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

bool isPlainControl(QWidget* widget) {
    return qobject_cast<QLabel*>(widget) || qobject_cast<QGroupBox*>(widget) ||
           qobject_cast<QRadioButton*>(widget) || qobject_cast<QCheckBox*>(widget) ||
           (widget->metaObject() == &QFrame::staticMetaObject);
}

void colourWindow(QWidget* window) {
    paintButtonFace(window);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (isPlainControl(child))
            paintButtonFace(child);
    }
}

// Desktop file managers hide the names listed in a folder's ".hidden" file.
bool listedAsHidden(const QFileInfo& info) {
    QFile list(info.absolutePath() + QStringLiteral("/.hidden"));
    if (!list.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> names = list.readAll().split('\n');
    for (const QByteArray& name : names) {
        if (QString::fromUtf8(name.trimmed()) == info.fileName())
            return true;
    }
    return false;
}

} // namespace

QString AppTitle() {
    return appTitle();
}

QString DeriveAppTitle(const QString& productTitle) {
    if (!productTitle.contains(QLatin1Char(' ')))
        return productTitle.left(40);
    QString title = productTitle;
    do {
        const int blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        title = title.left(blank);
    } while (title.size() > 40);
    return title.left(40);
}

void SetAppTitle(const QString& productTitle) {
    appTitle() = DeriveAppTitle(productTitle);
}

QString SkinPath() {
    return ProgramFolder() + QStringLiteral("/x/o.cjs");
}

bool SkinPresent() {
    const QFileInfo info(SkinPath());
    return info.exists() && info.isFile() && !info.isHidden() && !listedAsHidden(info);
}

namespace {

QStringList* parseWarnings = nullptr;
QtMessageHandler previousHandler = nullptr;

void collectParseWarnings(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if (parseWarnings && message.startsWith(QLatin1String("Could not parse stylesheet")))
        parseWarnings->append(message);
    else if (previousHandler)
        previousHandler(type, context, message);
}

// Why `sheet` is no style sheet, or nothing when it is one: text in UTF-8 without control
// characters that the style sheet parser reads without complaint.
std::optional<QString> sheetFault(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return QStringLiteral("it is not text in UTF-8");
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control && !c.isSpace())
            return QStringLiteral("it holds control characters");
    }
    QStringList warnings;
    parseWarnings = &warnings;
    previousHandler = qInstallMessageHandler(collectParseWarnings);
    {
        QWidget probe;
        probe.setStyleSheet(text);
        probe.ensurePolished();
    }
    qInstallMessageHandler(previousHandler);
    parseWarnings = nullptr;
    if (!warnings.isEmpty())
        return QStringLiteral("it is not a valid style sheet");
    return std::nullopt;
}

} // namespace

void ApplySkin(QWidget* mainWindow, QWidget* surface) {
    if (!SkinPresent())
        return;
    colourWindow(mainWindow);
    QFile skin(SkinPath());
    if (!skin.open(QIODevice::ReadOnly | QIODevice::Text))
        throw Failure(QStringLiteral("The skin file '%1' cannot be loaded: %2")
                          .arg(SkinPath(), skin.errorString()));
    const QByteArray sheet = skin.readAll();
    if (skin.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("The skin file '%1' cannot be loaded: %2")
                          .arg(SkinPath(), skin.errorString()));
    if (const std::optional<QString> fault = sheetFault(sheet))
        throw Failure(
            QStringLiteral("The skin file '%1' cannot be loaded: %2").arg(SkinPath(), *fault));
    // A style sheet reaches every child, and the windows and boxes opened over the main window
    // are its children: the sheet goes to the surface that holds the main window's controls.
    surface->setStyleSheet(QString::fromUtf8(sheet));
}

void SetFormColors(QWidget* window) {
    colourWindow(window);
    // Every secondary window's load starts here, after its controls are built: its text boxes
    // are guarded against control characters too.
    KeepControlCharactersOut(window);
}

PointerFeedback::PointerFeedback(QWidget* window) : QObject(window), m_window(window) {}

void PointerFeedback::loadCustom(const QString& cursorFile) {
    QFile file(cursorFile);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The pointer file '%1' cannot be read: %2")
                          .arg(cursorFile, file.errorString()));
    const QByteArray bytes = file.readAll();
    QImage image;
    if (!image.loadFromData(bytes, "CUR") && !image.loadFromData(bytes, "ICO"))
        throw Failure(
            QStringLiteral("The pointer file '%1' is not a valid cursor.").arg(cursorFile));
    // A cursor file (type 2) keeps the hot spot in its first directory entry; an icon file
    // (type 1) holds planes and colour depth there instead, and points with its centre.
    int hotX = image.width() / 2;
    int hotY = image.height() / 2;
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    if (bytes.size() >= 14 && (data[2] | (data[3] << 8)) == 2) {
        hotX = data[10] | (data[11] << 8);
        hotY = data[12] | (data[13] << 8);
    }
    m_custom = QCursor(QPixmap::fromImage(image), hotX, hotY);
    if (m_pointer == kPointerCustom)
        setPointer(kPointerCustom);
}

void PointerFeedback::setPointer(int value) {
    m_pointer = value;
    switch (value) {
    case kPointerHourglass:
        m_window->setCursor(Qt::WaitCursor);
        break;
    case kPointerCustom:
        if (m_custom)
            m_window->setCursor(*m_custom);
        else
            m_window->unsetCursor();
        break;
    default:
        m_window->unsetCursor();
        break;
    }
}

void PointerFeedback::watchButton(QWidget* widget) {
    widget->setProperty("pointerTarget", int(kPointerCustom));
    widget->installEventFilter(this);
}

void PointerFeedback::watchBackground(QWidget* widget) {
    widget->setProperty("pointerTarget", int(kPointerDefault));
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

bool PointerFeedback::eventFilter(QObject* watched, QEvent* event) {
    const QVariant target = watched->property("pointerTarget");
    if (!target.isValid() || m_pointer == kPointerHourglass)
        return QObject::eventFilter(watched, event);
    // The hand shows only while the mouse is over a button that can be pressed: leaving a
    // button for a label, a list or a disabled button brings the default pointer back.
    auto* widget = static_cast<QWidget*>(watched);
    const bool button = target.toInt() == kPointerCustom;
    int wanted = -1;
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        wanted = button && widget->isEnabled() ? kPointerCustom : kPointerDefault;
        break;
    case QEvent::Leave:
    case QEvent::HoverLeave:
        if (button)
            wanted = kPointerDefault;
        break;
    case QEvent::EnabledChange:
        if (button && widget->underMouse())
            wanted = widget->isEnabled() ? kPointerCustom : kPointerDefault;
        break;
    default:
        break;
    }
    if (wanted >= 0 && wanted != m_pointer)
        setPointer(wanted);
    return QObject::eventFilter(watched, event);
}
