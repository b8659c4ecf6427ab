#pragma once

#include "core/MessageWrite.h"

#include <gtest/gtest.h>

namespace tzsndmsg::core {

// A message as the form composes it: from `sender` on 6 December 2026, both panes changed, to and
// Cc the people listed ("1,2,").
inline OutgoingMessage composed(qint32 sender, const QString& subject, const QString& to = {},
                                const QString& cc = {})
{
    OutgoingMessage m;
    m.headerChanged = true;
    m.cmDat = "12/06/2026";
    m.senderId = sender;
    m.cmCat = "Message";
    m.cmSubCat = "EMS";
    m.cmDoc = "Text of " + subject;
    m.CMSubjec = subject;
    m.personIds = {to, cc};
    return m;
}

// Saved through the core; its id, the test failing with the reason when it was refused.
inline qint32 savedId(HostServices& services, const OutgoingMessage& m)
{
    const SaveResult saved = saveMessage(services, m);
    EXPECT_TRUE(saved.ok) << saved.error.toStdString();
    return saved.cmId;
}

} // namespace tzsndmsg::core
