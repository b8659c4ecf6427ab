// The message core stays below the windows: none of its files includes a Qt Widgets header or
// a header of the window folders. (Its link rules are checked when the build is configured.)
#include "support/TestPrinters.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

TEST(CoreLayering, IncludesNoWidgetOrWindowHeader)
{
    const QDir core(QStringLiteral(TZSNDMSG_CORE_SOURCE_DIR));
    const QDir widgets(QStringLiteral(TZSNDMSG_QT_WIDGETS_INCLUDE_DIR));
    ASSERT_TRUE(core.exists());
    ASSERT_TRUE(widgets.exists(QStringLiteral("QWidget"))) << widgets.path().toStdString();
    const QStringList windowFolders{"ui/",        "messages/",  "events/",   "holidays/",
                                    "component/", "directory/", "QtWidgets/"};
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
