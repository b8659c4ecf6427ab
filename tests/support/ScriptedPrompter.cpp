#include "ScriptedPrompter.h"

#include <gtest/gtest.h>

namespace tzsndmsg::testing {

int ScriptedPrompter::ask(const ui::MessageBoxRequest& request)
{
    shown.append(request);
    if (queue.isEmpty()) {
        ADD_FAILURE() << "unexpected message box: [" << request.title.toStdString() << "] "
                      << request.text.toStdString();
        return request.buttons == 0 ? 1 : 2;
    }
    const Expected next = queue.takeFirst();
    EXPECT_TRUE(next.textContains.isEmpty() || request.text.contains(next.textContains))
        << "expected a box containing \"" << next.textContains.toStdString() << "\", got \""
        << request.text.toStdString() << '"';
    if (!next.title.isNull()) {
        EXPECT_EQ(next.title, request.title);
    }
    return next.answer;
}

ScriptedPrompter& ScriptedPrompter::expect(const QString& textContains, int answer)
{
    queue.append({textContains, QString(), answer});
    return *this;
}

ScriptedPrompter& ScriptedPrompter::expect(const QString& textContains, const QString& title,
                                           int answer)
{
    queue.append({textContains, title.isNull() ? QStringLiteral("") : title, answer});
    return *this;
}

PrompterGuard::PrompterGuard() : m_prompter(std::make_shared<ScriptedPrompter>())
{
    ui::MessageBox::setPrompter(m_prompter);
}

PrompterGuard::~PrompterGuard()
{
    ui::MessageBox::setPrompter(nullptr);
    EXPECT_TRUE(m_prompter->queue.isEmpty())
        << m_prompter->queue.size() << " expected message box(es) never came, first: "
        << (m_prompter->queue.isEmpty() ? std::string()
                                        : m_prompter->queue.first().textContains.toStdString());
}

} // namespace tzsndmsg::testing
