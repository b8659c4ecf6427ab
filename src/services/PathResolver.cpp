#include "PathResolver.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace tzglob {

namespace {

// The entry of folder whose name equals name ignoring case; the exact name wins.
QString matchEntry(const QString& folder, const QString& name)
{
    const QString exact = folder + name;
    if (QFileInfo::exists(exact))
        return name;
    const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    return QString();
}

} // namespace

QString resolvePath(const QString& base, const QString& windowsStylePath)
{
    QString path = windowsStylePath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.isEmpty())
        return QString();

    QString resolved;
    if (path.startsWith(QLatin1Char('/'))) {
        resolved = QStringLiteral("/");
    } else {
        resolved = QDir::fromNativeSeparators(base);
        if (resolved.isEmpty())
            resolved = QDir::currentPath();
        if (!resolved.endsWith(QLatin1Char('/')))
            resolved += QLatin1Char('/');
    }

    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (int i = 0; i < parts.size(); ++i) {
        const QString& part = parts.at(i);
        const bool last = i == parts.size() - 1;
        if (part == QLatin1String(".")) {
            continue;
        }
        if (part == QLatin1String("..")) {
            resolved += QStringLiteral("../");
            continue;
        }
        const QString entry = matchEntry(resolved, part);
        if (entry.isEmpty()) {
            resolved += parts.mid(i).join(QLatin1Char('/'));
            return resolved;
        }
        resolved += entry;
        if (!last)
            resolved += QLatin1Char('/');
    }
    if (path.endsWith(QLatin1Char('/')) && !resolved.endsWith(QLatin1Char('/')))
        resolved += QLatin1Char('/');
    return resolved;
}

} // namespace tzglob
