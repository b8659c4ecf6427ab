#pragma once

#include <QString>
#include <utility>

namespace tzsndmsg::core {

// An open file descriptor, closed with its owner.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    void reset();

private:
    int m_fd = -1;
};

// A signal folder or file as it was opened. Anyone who may write the data folder may put a link,
// a FIFO or a second name of another file where a signal belongs; such a thing is refused, never
// followed, read or written.
struct SignalOpen {
    Fd fd;
    QString refusal;           // "TEMP is a link", "CMCM.STA is not a plain file", ...
    int error = 0;             // errno when it could not be opened and was not refused
    bool noDataFolder = false; // the data folder itself could not be opened
    bool created = false;      // the file was made by this open
};

// <data folder>/TEMP as a folder, made when missing and `create` is set. A data folder that is a
// link is followed (it is where the office was set up); a TEMP that is one is refused.
SignalOpen openSignalFolder(const QString& dataFolder, bool create);

enum class SignalAccess { Read, Write };

// `name` inside the TEMP folder `folder` (a descriptor from openSignalFolder) as a plain file of
// one name, without waiting on it; for writing it is made when missing.
SignalOpen openSignalFile(int folder, const QString& name, SignalAccess access);

} // namespace tzsndmsg::core
