#pragma once

#include <QString>
#include <memory>

namespace tzsndmsg::ui {

struct MessageBoxRequest {
    QString text, title;
    int buttons = 0;       // 0 OK, 1 OK/Cancel, 3 Yes/No/Cancel, 4 Yes/No
    int icon = 0;          // 0 none, 16 critical, 32 question, 48 exclamation, 64 information
    int defaultButton = 0; // 0 first, 256 second, 512 third
};

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual int ask(const MessageBoxRequest&) = 0; // 1 OK, 2 Cancel, 6 Yes, 7 No
};

// Every question and message of the component's windows. Call on the QApplication's thread; the
// prompter is one for the process. A host or an automation that sets a prompter answers every
// box itself, so that no box waits for a person who is not there.
struct MessageBox {
    static int show(const MessageBoxRequest&);          // the real box, or the prompter
    static void setPrompter(std::shared_ptr<Prompter>); // nullptr: real boxes again
};

// Message-box result codes.
enum MsgResult { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

} // namespace tzsndmsg::ui
