#pragma once

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

namespace tzsndmsg::testing {

// A file of these bytes, its folder made; whether it was written.
inline bool writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    EXPECT_TRUE(written) << path.toStdString();
    return written;
}

// An icon file of one colour, its folder made.
inline void writeIcon(const QString& path, QColor colour = Qt::red, int side = 16)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(colour);
    EXPECT_TRUE(image.save(path, "ICO")) << path.toStdString();
}

} // namespace tzsndmsg::testing
