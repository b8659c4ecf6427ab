#pragma once

#include "TestPrinters.h"
#include "tzsndmsg/ui/MessageBox.h"

#include <QList>
#include <QString>
#include <memory>

namespace tzsndmsg::testing {

// Answers message boxes from a queue and records every box shown. A box that nobody expected
// fails the test (and is answered Cancel, or OK for an OK-only box).
class ScriptedPrompter : public ui::Prompter {
public:
    struct Expected {
        QString textContains; // empty: any text
        QString title;        // checked when not null
        int answer = 1;
    };
    int ask(const ui::MessageBoxRequest& request) override;

    // Expect a box whose text contains the fragment; answer it.
    ScriptedPrompter& expect(const QString& textContains, int answer = 1);
    ScriptedPrompter& expect(const QString& textContains, const QString& title, int answer);
    QList<ui::MessageBoxRequest> shown;
    QList<Expected> queue;
};

// Installs a fresh scripted prompter for the lifetime of the guard and checks at the end that
// every expected box came and no unexpected one did.
class PrompterGuard {
public:
    PrompterGuard();
    ~PrompterGuard();
    ScriptedPrompter& operator*() { return *m_prompter; }
    ScriptedPrompter* operator->() { return m_prompter.get(); }

private:
    std::shared_ptr<ScriptedPrompter> m_prompter;
};

} // namespace tzsndmsg::testing
