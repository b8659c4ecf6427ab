#include "ImageList.h"

#include "tzsndmsg/ui/MessageBox.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

namespace tzsndmsg::ui {

namespace {
const QString kCheckMarkKey = QStringLiteral("ChkMrkW");

// An icon file as decoded, with the time and size it had then.
struct DecodedFile {
    QDateTime modified;
    qint64 size = -1;
    QIcon icon;
};

// Every window opened reads the same files: each is decoded again only when it changed.
QIcon decodedIcon(const QFileInfo& file)
{
    // Kept to the end of the process, never destroyed: pictures outlive the application object.
    static auto& decoded = *new QHash<QString, DecodedFile>;
    const QString path = file.absoluteFilePath();
    const QDateTime modified = file.lastModified();
    const qint64 size = file.size();
    const auto known = decoded.constFind(path);
    if (known != decoded.cend() && known->modified == modified && known->size == size)
        return known->icon;
    // Every picture of the file becomes one size of the icon.
    QIcon icon;
    QImageReader reader(path);
    do {
        const QImage image = reader.read();
        if (image.isNull())
            break;
        icon.addPixmap(QPixmap::fromImage(image));
    } while (reader.jumpToNextImage());
    decoded.insert(path, {modified, size, icon});
    return icon;
}
} // namespace

QString findFileNoCase(const QString& folder, const QString& relativePath)
{
    const QString path = QString(relativePath).replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return {};
    QString current = folder.isEmpty() ? QStringLiteral(".") : folder;
    for (const QString& part : parts) {
        const QDir dir(current);
        const QString exact = dir.filePath(part);
        if (QFileInfo::exists(exact)) {
            current = exact;
            continue;
        }
        QString match;
        const QStringList names =
            dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QString& name : names) {
            if (name.compare(part, Qt::CaseInsensitive) == 0) {
                match = dir.filePath(name);
                break;
            }
        }
        if (match.isEmpty())
            return {};
        current = match;
    }
    return current;
}

void ImageList::load(const QString& folder, const QList<Entry>& entries)
{
    for (const Entry& entry : entries) {
        const QString fileName = entry.baseName + QStringLiteral(".ico");
        const QString path = findFileNoCase(folder, fileName);
        QIcon icon;
        if (!path.isEmpty()) {
            const QFileInfo file(path);
            if (file.isFile())
                icon = decodedIcon(file);
        }
        if (icon.isNull()) {
            m_missing.append(fileName);
            continue;
        }
        add(entry.key, icon);
    }
}

void ImageList::add(const QString& key, const QIcon& icon)
{
    const QString upper = key.toUpper();
    if (!m_icons.contains(upper))
        m_keys.append(key);
    m_icons.insert(upper, icon);
}

void ImageList::clear()
{
    m_icons.clear();
    m_keys.clear();
    m_missing.clear();
}

bool ImageList::contains(const QString& key) const
{
    return m_icons.contains(key.toUpper());
}

QIcon ImageList::icon(const QString& key) const
{
    return m_icons.value(key.toUpper());
}

QPixmap ImageList::pixmap(const QString& key, const QSize& size) const
{
    const QIcon i = icon(key);
    return i.isNull() ? QPixmap() : i.pixmap(size);
}

QStringList ImageList::keys() const
{
    return m_keys;
}

QPixmap ImageList::checkMark(const QSize& size) const
{
    if (contains(kCheckMarkKey))
        return pixmap(kCheckMarkKey, size);
    return drawCheckMark(size);
}

QPixmap ImageList::drawCheckMark(const QSize& size)
{
    // The same picture at every open: drawn once a size.
    static auto& drawn = *new QHash<QPair<int, int>, QPixmap>;
    const QPair<int, int> key(size.width(), size.height());
    if (const auto known = drawn.constFind(key); known != drawn.cend())
        return *known;
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width(), h = size.height();
    QPainterPath path;
    path.moveTo(w * 0.18, h * 0.52);
    path.lineTo(w * 0.42, h * 0.76);
    path.lineTo(w * 0.84, h * 0.24);
    QPen pen(QColor(0, 128, 0), std::max<qreal>(1.5, w / 7.0), Qt::SolidLine, Qt::RoundCap,
             Qt::RoundJoin);
    p.setPen(pen);
    p.drawPath(path);
    p.end();
    drawn.insert(key, pm);
    return pm;
}

QString ImageList::missingFilesMessage(const QStringList& fileNames)
{
    return QStringLiteral(
               "The following file(s) are missing from your ZELO Windows ICO\\SMALL folder:") +
           QStringLiteral("\n\n") + fileNames.join(QStringLiteral(", ")) + QStringLiteral("\n\n") +
           QStringLiteral("ZELO Windows may not function properly without these files. ") +
           QStringLiteral("\n") +
           QStringLiteral(
               "Please contact ZELO's Support Department to find out how to restore these files.");
}

QString ImageList::missingFilesTitle()
{
    return QStringLiteral("Missing Files");
}

QList<ImageList::Entry> ImageList::messageWindowEntries()
{
    return {
        {QStringLiteral("Patient"), QStringLiteral("Patient")},
        {QStringLiteral("Cancel"), QStringLiteral("Cancel")},
        {QStringLiteral("OKay"), QStringLiteral("OKay")},
        {QStringLiteral("Msg"), QStringLiteral("Message")},
        {QStringLiteral("MsgHis"), QStringLiteral("Message History")},
        {QStringLiteral("MsgSend"), QStringLiteral("Send Message")},
        {QStringLiteral("MsgNew"), QStringLiteral("New Message")},
        {QStringLiteral("LineOpen"), QStringLiteral("LineOpen")},
        {QStringLiteral("LineClos"), QStringLiteral("LineClos")},
        {QStringLiteral("MsgIn"), QStringLiteral("Message Inbox")},
        {QStringLiteral("MsgSItem"), QStringLiteral("Message Sent Items")},
        {QStringLiteral("Help"), QStringLiteral("Help")},
        {QStringLiteral("Close"), QStringLiteral("Close")},
        {QStringLiteral("ChkAll"), QStringLiteral("Select All")},
        {QStringLiteral("Purge"), QStringLiteral("Purge")},
        {QStringLiteral("TDLstHis"), QStringLiteral("View History")},
    };
}

QStringList Load_ImaList(ImageList& list, const QString& dataFolder,
                         const QList<ImageList::Entry>& entries)
{
    list.clear();
    QString iconFolder = findFileNoCase(dataFolder, QStringLiteral("ICO/SMALL"));
    if (iconFolder.isEmpty())
        iconFolder = QDir(dataFolder).filePath(QStringLiteral("ICO/SMALL"));
    list.load(iconFolder, entries);
    QStringList missing = list.missingFiles();
    if (!missing.isEmpty()) {
        MessageBoxRequest request;
        request.text = ImageList::missingFilesMessage(missing);
        request.title = ImageList::missingFilesTitle();
        request.icon = 64;
        MessageBox::show(request);
    }
    return missing;
}

} // namespace tzsndmsg::ui
