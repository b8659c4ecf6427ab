#include "store/Schema.h"
#include "store/StoreCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <QTemporaryFile>
#include <cmath>
#include <functional>

namespace tzsndmsg::store {

namespace {

using Draw = std::function<void(QPainter&)>;

// Icons are drawn here, so the program ships no artwork of unknown origin.
bool saveIcon(const QString& path, const Draw& draw, QString* error)
{
    if (QFileInfo::exists(path))
        return true;
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
    }
    // Whole or not at all: another workstation may be setting up the same folder.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "ICO") || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

void envelope(QPainter& p, const QColor& color)
{
    p.setPen(QPen(color.darker(160), 1.5));
    p.setBrush(color);
    p.drawRoundedRect(QRectF(3, 8, 26, 17), 2, 2);
    p.drawPolyline(QPolygonF({QPointF(3.5, 9), QPointF(16, 18), QPointF(28.5, 9)}));
}

void badge(QPainter& p, const QColor& color)
{
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QRectF(18, 18, 13, 13));
}

void cross(QPainter& p, const QColor& color, const QRectF& r, qreal width)
{
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
}

void tick(QPainter& p, const QColor& color, qreal width)
{
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(6, 17), QPointF(13, 24), QPointF(27, 8)}));
}

void arrow(QPainter& p, const QColor& color, bool right)
{
    QPainterPath path;
    if (right) {
        path.moveTo(17, 18);
        path.lineTo(31, 24.5);
        path.lineTo(17, 31);
    } else {
        path.moveTo(31, 18);
        path.lineTo(17, 24.5);
        path.lineTo(31, 31);
    }
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(path);
}

void clock(QPainter& p, const QColor& color)
{
    p.setPen(QPen(color.darker(150), 1.5));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(15, 15, 16, 16));
    p.drawLine(QPointF(23, 23), QPointF(23, 18));
    p.drawLine(QPointF(23, 23), QPointF(27, 23));
}

const QColor kBlue(52, 101, 164);
const QColor kGreen(78, 154, 6);
const QColor kRed(204, 0, 0);
const QColor kAmber(237, 212, 0);

QList<QPair<QString, Draw>> toolbarIcons()
{
    return {
        {QStringLiteral("Patient"),
         [](QPainter& p) {
             p.setPen(Qt::NoPen);
             p.setBrush(kBlue);
             p.drawEllipse(QRectF(10, 3, 12, 12));
             p.drawRoundedRect(QRectF(5, 16, 22, 14), 7, 7);
         }},
        {QStringLiteral("Cancel"), [](QPainter& p) { cross(p, kRed, QRectF(7, 7, 18, 18), 4); }},
        {QStringLiteral("OKay"), [](QPainter& p) { tick(p, kGreen, 4); }},
        {QStringLiteral("Message"), [](QPainter& p) { envelope(p, QColor(252, 233, 79)); }},
        {QStringLiteral("Message History"),
         [](QPainter& p) {
             envelope(p, QColor(252, 233, 79));
             clock(p, kBlue);
         }},
        {QStringLiteral("Send Message"),
         [](QPainter& p) {
             envelope(p, QColor(252, 233, 79));
             arrow(p, kGreen, true);
         }},
        {QStringLiteral("New Message"),
         [](QPainter& p) {
             envelope(p, Qt::white);
             badge(p, kGreen);
             p.setPen(QPen(Qt::white, 2));
             p.drawLine(QPointF(24.5, 20.5), QPointF(24.5, 28.5));
             p.drawLine(QPointF(20.5, 24.5), QPointF(28.5, 24.5));
         }},
        {QStringLiteral("LineOpen"),
         [](QPainter& p) {
             p.setPen(QPen(kBlue, 3, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(6, 16), QPointF(26, 16));
             p.drawLine(QPointF(16, 6), QPointF(16, 26));
         }},
        {QStringLiteral("LineClos"),
         [](QPainter& p) {
             p.setPen(QPen(kBlue, 3, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(6, 16), QPointF(26, 16));
         }},
        {QStringLiteral("Message Inbox"),
         [](QPainter& p) {
             p.setPen(QPen(kBlue.darker(140), 1.5));
             p.setBrush(QColor(114, 159, 207));
             p.drawRect(QRectF(3, 14, 26, 14));
             envelope(p, QColor(252, 233, 79));
             arrow(p, kBlue, false);
         }},
        {QStringLiteral("Message Sent Items"),
         [](QPainter& p) {
             envelope(p, QColor(238, 238, 236));
             arrow(p, kGreen, true);
         }},
        {QStringLiteral("Help"),
         [](QPainter& p) {
             p.setPen(Qt::NoPen);
             p.setBrush(kBlue);
             p.drawEllipse(QRectF(3, 3, 26, 26));
             p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
             QPainterPath q;
             q.moveTo(11.5, 12.5);
             q.cubicTo(11.5, 6.5, 21, 6.5, 20.5, 12.5);
             q.cubicTo(20.2, 16, 16, 15.5, 16, 19.5);
             p.setBrush(Qt::NoBrush);
             p.drawPath(q);
             p.drawPoint(QPointF(16, 24.5));
         }},
        {QStringLiteral("Close"),
         [](QPainter& p) {
             p.setPen(QPen(QColor(85, 87, 83), 1.5));
             p.setBrush(QColor(211, 215, 207));
             p.drawRect(QRectF(4, 3, 17, 26));
             arrow(p, kRed, true);
         }},
        {QStringLiteral("Select All"),
         [](QPainter& p) {
             p.setPen(QPen(QColor(85, 87, 83), 1.5));
             p.setBrush(Qt::white);
             for (int y : {4, 13, 22})
                 p.drawRect(QRectF(4, y, 7, 6));
             p.setPen(QPen(kGreen, 2.5, Qt::SolidLine, Qt::RoundCap));
             for (int y : {7, 16, 25})
                 p.drawLine(QPointF(14, y), QPointF(28, y));
         }},
        {QStringLiteral("Purge"),
         [](QPainter& p) {
             p.setPen(QPen(QColor(85, 87, 83), 1.5));
             p.setBrush(QColor(186, 189, 182));
             p.drawRect(QRectF(8, 9, 16, 20));
             p.drawLine(QPointF(5, 8), QPointF(27, 8));
             p.drawRect(QRectF(13, 4, 6, 4));
         }},
        {QStringLiteral("View History"),
         [](QPainter& p) {
             p.setPen(QPen(kBlue.darker(140), 1.5));
             p.setBrush(Qt::white);
             p.drawEllipse(QRectF(4, 4, 24, 24));
             p.drawLine(QPointF(16, 16), QPointF(16, 8));
             p.drawLine(QPointF(16, 16), QPointF(22, 19));
         }},
        {QStringLiteral("Delete"), [](QPainter& p) { cross(p, kRed, QRectF(8, 8, 16, 16), 5); }},
    };
}

void flag(QPainter& p)
{
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 7; ++i) {
        p.setBrush(i % 2 ? Qt::white : kRed);
        p.drawRect(QRectF(2, 6 + i * 3, 28, 3));
    }
    p.setBrush(QColor(32, 74, 135));
    p.drawRect(QRectF(2, 6, 13, 12));
    p.setBrush(Qt::white);
    for (int x : {5, 9, 13})
        for (int y : {9, 14})
            p.drawEllipse(QPointF(x - 0.5, y), 0.9, 0.9);
}

void star(QPainter& p, const QColor& color)
{
    QPolygonF poly;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? 6.0 : 14.0;
        const double a = -M_PI / 2 + i * M_PI / 5;
        poly << QPointF(16 + r * std::cos(a), 16.5 + r * std::sin(a));
    }
    p.setPen(QPen(color.darker(140), 1));
    p.setBrush(color);
    p.drawPolygon(poly);
}

QList<QPair<QString, Draw>> holidayIcons()
{
    return {
        {QStringLiteral("FlagUsa"), [](QPainter& p) { flag(p); }},
        {QStringLiteral("Star"), [](QPainter& p) { star(p, kAmber); }},
        {QStringLiteral("Tree"),
         [](QPainter& p) {
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(143, 89, 2));
             p.drawRect(QRectF(14, 24, 4, 6));
             p.setBrush(kGreen);
             p.drawPolygon(QPolygonF({QPointF(16, 2), QPointF(28, 25), QPointF(4, 25)}));
         }},
        {QStringLiteral("Leaf"),
         [](QPainter& p) {
             QPainterPath leaf;
             leaf.moveTo(5, 27);
             leaf.cubicTo(4, 10, 14, 4, 28, 4);
             leaf.cubicTo(28, 18, 22, 28, 5, 27);
             p.setPen(QPen(QColor(143, 89, 2), 1.5));
             p.setBrush(QColor(245, 121, 0));
             p.drawPath(leaf);
             p.drawLine(QPointF(5, 27), QPointF(22, 10));
         }},
        {QStringLiteral("Heart"),
         [](QPainter& p) {
             QPainterPath heart;
             heart.moveTo(16, 28);
             heart.cubicTo(2, 18, 3, 5, 11, 5);
             heart.cubicTo(14, 5, 16, 8, 16, 10);
             heart.cubicTo(16, 8, 18, 5, 21, 5);
             heart.cubicTo(29, 5, 30, 18, 16, 28);
             p.setPen(Qt::NoPen);
             p.setBrush(kRed);
             p.drawPath(heart);
         }},
        {QStringLiteral("Calendar"),
         [](QPainter& p) {
             p.setPen(QPen(QColor(85, 87, 83), 1.5));
             p.setBrush(Qt::white);
             p.drawRect(QRectF(4, 6, 24, 22));
             p.setBrush(kRed);
             p.drawRect(QRectF(4, 6, 24, 6));
             p.setPen(Qt::NoPen);
             p.setBrush(QColor(85, 87, 83));
             for (int r = 0; r < 3; ++r)
                 for (int c = 0; c < 4; ++c)
                     p.drawRect(QRectF(7 + c * 5.5, 15 + r * 4.3, 3, 2.5));
         }},
    };
}

bool ensureFolder(const QString& path, QString* error)
{
    if (QDir().mkpath(path))
        return true;
    if (error)
        *error = QStringLiteral("cannot create folder %1").arg(path);
    return false;
}

} // namespace

bool initDataFolder(const QString& folder, QString* error)
{
    const QString root = QDir::cleanPath(folder) + QLatin1Char('/');
    // The signal files are never written through a link, so a TEMP that is one cannot serve.
    if (QFileInfo(root + QStringLiteral("TEMP")).isSymLink()) {
        if (error)
            *error = QStringLiteral("TEMP in data folder %1 is a link; the station signal files "
                                    "are not written through one")
                         .arg(root);
        return false;
    }
    for (const char* sub : {"", "TEMP", "stp", "ICO/SMALL", "icons"})
        if (!ensureFolder(root + QLatin1String(sub), error))
            return false;

    // A folder that exists but refuses files is as unusable as a missing one.
    QTemporaryFile probe(root + QStringLiteral("TEMP/probe-XXXXXX"));
    if (!probe.open()) {
        if (error)
            *error = QStringLiteral("data folder %1 is not writable").arg(root);
        return false;
    }

    const QString machines = root + QStringLiteral("stp/Machines.Ini");
    if (!QFileInfo::exists(machines)) {
        QFile file(machines);
        // Never over a list that another workstation's set-up has just written.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && !QFileInfo::exists(machines)) {
            if (error)
                *error = QStringLiteral("cannot write %1").arg(machines);
            return false;
        }
    }

    for (const auto& [name, draw] : toolbarIcons())
        if (!saveIcon(root + QStringLiteral("ICO/SMALL/") + name + QStringLiteral(".ico"), draw,
                      error))
            return false;
    for (const auto& [name, draw] : holidayIcons())
        if (!saveIcon(root + QStringLiteral("icons/") + name + QStringLiteral(".ico"), draw, error))
            return false;
    return true;
}

void checkDataFolderLayout(const QString& folder, QList<OfficeDamage>& found)
{
    const QString root = QDir::cleanPath(folder) + QLatin1Char('/');
    auto lacks = [&](const QString& part, const QString& what) {
        found.append(
            OfficeDamage{QStringLiteral("the data folder %1 lacks %2 (%3): run tzsndmsg init")
                             .arg(root, part, what)});
    };
    if (!QFileInfo(root).isDir()) {
        found.append(OfficeDamage{
            QStringLiteral("the data folder %1 is missing: run tzsndmsg init").arg(root)});
        return;
    }
    if (!QFileInfo(root + QStringLiteral("TEMP")).isDir())
        lacks(QStringLiteral("TEMP/"), QStringLiteral("the station signal files' folder"));
    if (!QFileInfo(root + QStringLiteral("stp/Machines.Ini")).isFile())
        lacks(QStringLiteral("stp/Machines.Ini"), QStringLiteral("the computer list"));
    const struct {
        const char* folder;
        QList<QPair<QString, Draw>> icons;
        const char* what;
        const char* folderWhat;
    } sets[] = {{"ICO/SMALL/", toolbarIcons(), "a toolbar icon", "the toolbar icons"},
                {"icons/", holidayIcons(), "a holiday icon", "the holiday icons"}};
    for (const auto& set : sets) {
        if (!QFileInfo(root + QLatin1String(set.folder)).isDir()) {
            lacks(QLatin1String(set.folder), QLatin1String(set.folderWhat));
            continue;
        }
        for (const auto& icon : set.icons) {
            const QString part = QLatin1String(set.folder) + icon.first + QStringLiteral(".ico");
            if (!QFileInfo(root + part).isFile())
                lacks(part, QLatin1String(set.what));
        }
    }
}

} // namespace tzsndmsg::store
