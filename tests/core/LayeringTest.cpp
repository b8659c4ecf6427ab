// The message core stays below the windows: none of its files includes a Qt Widgets header or
// a header of the window folders. (Its link rules are checked when the build is configured.)
// The windows above it show, ask and call the core: no statement, recordset or record writer in
// their folders.
#include "support/TestPrinters.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// Window folders that leave the store to the core: those under src/, and the host program.
const QStringList kStoreFreeFolders{"messages",  "events", "holidays",
                                    "directory", "setup",  "ui",
                                    "component", "state",  QStringLiteral(TZSNDMSG_APP_SOURCE_DIR)};

// What a window must not hold: statement text in its literals, or the store's own readers and
// writers.
const QRegularExpression kStatement(
    QStringLiteral(R"(\bselect\b.*\bfrom\b|^\s*select\s+([\w.\[\]]*\*|[\w.\[\]]+\s*,|$))"
                   R"(|\binsert\s+into\b|\bupdate\s+[\w.\[\]]+\s+set\b|\bdelete\s+(\*\s+)?from\b)"),
    QRegularExpression::CaseInsensitiveOption);
const QRegularExpression kStoreUse(QStringLiteral(
    R"(\bdb::(Recordset|Reader|RecordWriter|writeRecord)\b|\bQSqlQuery\b|\bwriteRecord\s*\()"
    R"(|[<"](tzsndmsg/)?db/(Recordset|RecordWriter)\.h[>"])"));
const QRegularExpression kLiteral(QStringLiteral(R"re("((?:[^"\\]|\\.)*)")re"));

// The offending lines of one source text, "line: text".
QStringList storeWorkIn(const QString& source)
{
    QStringList found;
    const QStringList lines = source.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.startsWith(QLatin1String("//")))
            continue;
        bool offends = kStoreUse.match(line).hasMatch();
        for (auto it = kLiteral.globalMatch(line); !offends && it.hasNext();)
            offends = kStatement.match(it.next().captured(1)).hasMatch();
        if (offends)
            found << QString::number(i + 1) + QStringLiteral(": ") + line;
    }
    return found;
}

TEST(WindowLayering, TheCheckKnowsStatementsAndStoreCallsFromWindowText)
{
    const struct {
        const char* line;
        bool offends;
    } cases[] = {
        {R"x(QStringLiteral("SELECT CMTable.*, EVTable.*"))x", true},
        {R"x(QStringLiteral("Select * from BroChkTable where BroChkLinID="))x", true},
        {R"x(sql = "select hdocID, hdocDes ";)x", true},
        {R"x(QStringLiteral("Select "))x", true},
        {R"x(QStringLiteral("insert into CMTable (cmID) values (?)"))x", true},
        {R"x(QStringLiteral("Update CMTable Set cmPurFla=? Where CMID=?"))x", true},
        {R"x(QStringLiteral("delete * from BroChkTable "))x", true},
        {R"x(QStringLiteral("DELETE FROM EVTable"))x", true},
        {R"x(db::Recordset rs = conn->query(sql);)x", true},
        {R"x(QSqlQuery query(db);)x", true},
        {R"x(st.GIC->writeRecord(0, table, key, names, texts);)x", true},
        {R"x(#include "tzsndmsg/db/Recordset.h")x", true},
        {R"x(#include <tzsndmsg/db/RecordWriter.h>)x", true},
        {R"x(QStringLiteral("Select All"))x", false},
        {R"x(QStringLiteral("Please select a icon file"))x", false},
        {R"x(QStringLiteral("Are you sure to delete the event?"))x", false},
        {R"x(k == QLatin1String("DELETE"))x", false},
        {R"x(QStringLiteral("Would you like to delete ") + name)x", false},
        {R"x(QStringLiteral("Update the list"))x", false},
        {R"x(// Select * from a comment is not a statement)x", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(!storeWorkIn(QString::fromUtf8(c.line)).isEmpty(), c.offends) << c.line;
}

TEST(WindowLayering, WindowFoldersLeaveTheStoreToTheCore)
{
    for (const QString& folder : kStoreFreeFolders) {
        SCOPED_TRACE(folder.toStdString());
        const QDir dir(QDir(QStringLiteral(TZSNDMSG_SOURCE_DIR)).filePath(folder));
        ASSERT_TRUE(dir.exists()) << dir.path().toStdString();
        int files = 0;
        QStringList offending;
        QDirIterator it(dir.path(), {"*.h", "*.cpp"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
            ++files;
            for (const QString& line : storeWorkIn(QString::fromUtf8(file.readAll())))
                offending << dir.relativeFilePath(file.fileName()) + QLatin1Char(':') + line;
        }
        EXPECT_GT(files, 0);
        EXPECT_TRUE(offending.isEmpty()) << offending.join(QLatin1Char('\n')).toStdString();
    }
}

TEST(CoreLayering, IncludesNoWidgetOrWindowHeader)
{
    const QDir core(QStringLiteral(TZSNDMSG_CORE_SOURCE_DIR));
    const QDir widgets(QStringLiteral(TZSNDMSG_QT_WIDGETS_INCLUDE_DIR));
    ASSERT_TRUE(core.exists());
    ASSERT_TRUE(widgets.exists(QStringLiteral("QWidget"))) << widgets.path().toStdString();
    const QStringList windowFolders{"ui/",        "messages/",  "events/", "holidays/",
                                    "setup/",     "component/", "state/",  "office/",
                                    "directory/", "QtWidgets/"};
    const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s*[<"]([^>"]+)[>"])"));

    int files = 0;
    QStringList offending;
    QDirIterator it(core.path(), {"*.h", "*.cpp"}, QDir::Files);
    while (it.hasNext()) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        ++files;
        const QString name = QFileInfo(file).fileName();
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            const auto match = include.match(line);
            if (!match.hasMatch())
                continue;
            const QString header = match.captured(1);
            const bool window = std::any_of(windowFolders.begin(), windowFolders.end(),
                                            [&](const QString& f) { return header.startsWith(f); });
            if (window || widgets.exists(header))
                offending << name + QStringLiteral(": ") + header;
        }
    }
    EXPECT_GE(files, 10);
    EXPECT_TRUE(offending.isEmpty()) << offending.join(QStringLiteral("; ")).toStdString();
}

} // namespace
