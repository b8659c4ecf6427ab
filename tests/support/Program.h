#pragma once

// The host program run as a workstation runs it, on a test's own office and home folder: no
// settings file of the machine or of the user running the tests leaks in, and a run that does
// not end within its bound is killed and fails the test. For the test targets that define
// TZSNDMSG_APP.
#include "reliability/HostRun.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

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

inline QProcessEnvironment programEnvironment(const QString& home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZSNDMSG_HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("TZSNDMSG_SYSTEM_CONFIG"), home + QStringLiteral("/etc.conf"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

inline std::unique_ptr<QProcess> startProgram(const QStringList& args,
                                              const QProcessEnvironment& env)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(env);
    p->start(QStringLiteral(TZSNDMSG_APP), args);
    return p;
}

inline Outcome finishProgram(QProcess& p, int milliseconds = 60000)
{
    const QStringList args = p.arguments();
    Outcome r = HostRun::finish(p, milliseconds);
    if (r.hung)
        ADD_FAILURE() << "tzsndmsg " << args.join(' ').toStdString() << " did not finish";
    return r;
}

inline Outcome runProgram(const QStringList& args, const QProcessEnvironment& env,
                          int milliseconds = 60000)
{
    return finishProgram(*startProgram(args, env), milliseconds);
}

} // namespace tzsndmsg::testing
