#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPixmap>
#include <QString>
#include <QStringList>

namespace tzsndmsg::ui {

// Pictures by key, loaded from icon files; keys are matched without regard to case.
class ImageList {
public:
    struct Entry {
        QString key;
        QString baseName; // the file is <folder>/<baseName>.ico
    };

    // Loads every entry from the folder; a file that is missing or cannot be read is skipped
    // and its file name ("Message.ico") collected in missingFiles().
    void load(const QString& folder, const QList<Entry>& entries);
    void add(const QString& key, const QIcon& icon);
    void clear();

    bool contains(const QString& key) const;
    QIcon icon(const QString& key) const; // a null icon when the key has no picture
    QPixmap pixmap(const QString& key, const QSize& size = QSize(16, 16)) const;
    QStringList keys() const;
    QStringList missingFiles() const { return m_missing; }

    // The grid's check mark: the list's "ChkMrkW" when it has one, else drawn.
    QPixmap checkMark(const QSize& size = QSize(16, 16)) const;
    static QPixmap drawCheckMark(const QSize& size = QSize(16, 16));

    // The text of the box that lists missing icon files.
    static QString missingFilesMessage(const QStringList& fileNames);
    static QString missingFilesTitle();

    // The message window's pictures, in the order of its table.
    static QList<Entry> messageWindowEntries();

private:
    QHash<QString, QIcon> m_icons; // upper-case key
    QStringList m_keys;
    QStringList m_missing;
};

// Load_ImaList: loads the entries from "<dataFolder>ICO/SMALL/" and, when any file is missing,
// tells the user in one information box. Returns the missing file names.
QStringList
Load_ImaList(ImageList& list, const QString& dataFolder,
             const QList<ImageList::Entry>& entries = ImageList::messageWindowEntries());

// The file under folder whose path matches relativePath without regard to case; "\" counts
// as "/". Empty when there is none.
QString findFileNoCase(const QString& folder, const QString& relativePath);

} // namespace tzsndmsg::ui
