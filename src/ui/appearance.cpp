#include "ui/appearance.h"

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

void ApplySkin(QWidget* mainWindow) {
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
    mainWindow->setStyleSheet(QString::fromUtf8(sheet));
}

void SetFormColors(QWidget* window) {
    colourWindow(window);
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
    widget->setAttribute(Qt::WA_Hover);
    widget->installEventFilter(this);
}

void PointerFeedback::watchBackground(QWidget* widget) {
    widget->setProperty("pointerTarget", int(kPointerDefault));
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

bool PointerFeedback::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseMove || type == QEvent::Enter || type == QEvent::HoverMove ||
        type == QEvent::HoverEnter) {
        const QVariant target = watched->property("pointerTarget");
        if (target.isValid() && m_pointer != kPointerHourglass && m_pointer != target.toInt())
            setPointer(target.toInt());
    }
    return QObject::eventFilter(watched, event);
}
