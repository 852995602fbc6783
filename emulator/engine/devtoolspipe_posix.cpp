// The pipe's ends as POSIX descriptors, watched by the event loop.
#include "engine/devtoolspipe.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

struct DevToolsPipe::Ends
{
    int readFd;
    int writeFd;
    QSocketNotifier *readable;
    QSocketNotifier *writable;
};

namespace {

void MakeNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

} // namespace

void DevToolsPipe::EndsDeleter::operator()(Ends *ends) const
{
    delete ends;
}

void DevToolsPipe::OpenEnds(qintptr readEnd, qintptr writeEnd)
{
    // A write after the browser died must fail with EPIPE, not end this program.
    std::signal(SIGPIPE, SIG_IGN);
    const int readFd = int(readEnd);
    const int writeFd = int(writeEnd);
    MakeNonBlocking(readFd);
    MakeNonBlocking(writeFd);
    ends.reset(new Ends{readFd, writeFd, new QSocketNotifier(readFd, QSocketNotifier::Read, this),
                        new QSocketNotifier(writeFd, QSocketNotifier::Write, this)});
    ends->writable->setEnabled(false);
    connect(ends->readable, &QSocketNotifier::activated, this, [this] {
        QByteArray bytes;
        bool ended = false;
        char chunk[64 * 1024];
        for (;;) {
            const ssize_t count = ::read(ends->readFd, chunk, sizeof chunk);
            if (count > 0) {
                bytes.append(chunk, count);
                continue;
            }
            if (count < 0 && errno == EINTR)
                continue;
            ended = !(count < 0 && errno == EAGAIN);
            break;
        }
        Received(bytes, ended);
    });
    connect(ends->writable, &QSocketNotifier::activated, this, &DevToolsPipe::Flush);
}

void DevToolsPipe::WantWrite()
{
    ends->writable->setEnabled(true);
}

void DevToolsPipe::Flush()
{
    while (!output.isEmpty() && ends) {
        const ssize_t written = ::write(ends->writeFd, output.constData(), size_t(output.size()));
        if (written > 0) {
            output.remove(0, written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && errno == EAGAIN) {
            return; // full: the notifier calls again when it drains
        } else {
            Close(); // EPIPE: the browser is gone
            return;
        }
    }
    if (ends)
        ends->writable->setEnabled(false);
}

void DevToolsPipe::CloseEnds()
{
    for (QSocketNotifier *notifier : {ends->readable, ends->writable}) {
        notifier->setEnabled(false);
        notifier->deleteLater(); // may be running the current slot
    }
    ::close(ends->readFd);
    ::close(ends->writeFd);
    ends.reset();
}
