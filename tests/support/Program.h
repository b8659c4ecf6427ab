#pragma once

// The host program run as a workstation runs it, on a test's own office and home folder: no
// settings file of the machine or of the user running the tests leaks in, and a run that does
// not end within its bound is killed and fails the test. For the test targets that define
// TZSNDMSG_APP.
#include "reliability/HostRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace tzsndmsg::testing {

// An office whose schema and data folder the program's own `init` makes.
inline Office::Options programOffice()
{
    Office::Options o;
    o.createSchema = false;
    o.initDataFolder = false;
    return o;
}

inline Outcome finishProgram(QProcess& p, int milliseconds = 60000)
{
    const QStringList args = p.arguments();
    Outcome r = HostRun::finish(p, milliseconds);
    if (r.hung)
        ADD_FAILURE() << "tzsndmsg " << args.join(' ').toStdString() << " did not finish";
    return r;
}

// A test that runs the program on an office and a home folder of its own (the watcher's state
// in home/state). By default the
// program's own `init` makes the office, its data folder being home/data; with `Made::Ready` the
// office comes with its schema and data folder.
class ProgramTest : public ::testing::Test {
protected:
    enum class Made { ByInit, Ready };
    explicit ProgramTest(Made made = Made::ByInit)
        : office(made == Made::ByInit ? programOffice() : Office::Options()),
          m_data(made == Made::ByInit ? home.path() + QStringLiteral("/data/")
                                      : office.dataFolder())
    {
    }

    QString data() const { return m_data; }

    // The arguments with this office's --db and --data, each unless given; before a "--", after
    // which only words follow.
    QStringList withOffice(QStringList args) const
    {
        QStringList common;
        if (!args.contains(QStringLiteral("--db")))
            common << QStringLiteral("--db") << office.databaseUrl();
        if (!args.contains(QStringLiteral("--data")))
            common << QStringLiteral("--data") << m_data;
        const qsizetype words = args.indexOf(QStringLiteral("--"));
        for (qsizetype i = 0; i < common.size(); ++i)
            args.insert(words < 0 ? args.size() : words + i, common.at(i));
        return args;
    }
    std::unique_ptr<QProcess> start(const QStringList& args) const
    {
        return launch(withOffice(args));
    }
    Outcome run(const QStringList& args) const { return finishProgram(*start(args)); }
    // The office made by the program's own init, with the words given ("--demo").
    void init(const QStringList& words = {}) const
    {
        const Outcome made = run(QStringList{QStringLiteral("init")} + words);
        ASSERT_EQ(made.code, 0) << made.err.toStdString();
    }
    // The program without this office: what the settings files and the environment name.
    Outcome runAlone(const QStringList& args) const { return finishProgram(*launch(args)); }

    // A file under the home folder (or at an absolute path), its folders made; its path.
    QString writeFile(const QString& name, const QByteArray& content) const
    {
        const QString path = QDir(home.path()).absoluteFilePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(content);
        return path;
    }

    // A record written as a workstation writes it; its key.
    qint64 writeRecord(const QString& table, const QString& key, const QStringList& names,
                       const QStringList& texts)
    {
        qint64 id = 0;
        QString error;
        if (!office.services()->writeRecord(9, table, key, id, names, texts, &error))
            ADD_FAILURE() << table.toStdString() << ": " << error.toStdString();
        return id;
    }

    QTemporaryDir home;
    Office office;
    QProcessEnvironment env = environment(home.path());

private:
    static QProcessEnvironment environment(const QString& home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TZSNDMSG_HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/state"));
        env.insert(QStringLiteral("TZSNDMSG_SYSTEM_CONFIG"), home + QStringLiteral("/etc.conf"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }
    std::unique_ptr<QProcess> launch(const QStringList& args) const
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(TZSNDMSG_APP), args);
        return p;
    }

    QString m_data;
};

} // namespace tzsndmsg::testing
