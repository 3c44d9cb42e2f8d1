#include "platform/LaunchLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

LaunchLock::LaunchLock(const QString& path, std::chrono::milliseconds patience)
{
    descriptor_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor_ < 0)
        return;
    const QDeadlineTimer deadline(patience);
    for (;;) {
        if (::flock(descriptor_, LOCK_EX | LOCK_NB) == 0) {
            held_ = true;
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK || deadline.hasExpired())
            return;
        QThread::msleep(10);
    }
}

LaunchLock::~LaunchLock()
{
    release();
}

void LaunchLock::release()
{
    // Closing the only descriptor of the open file lets its lock go.
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
    held_ = false;
}
