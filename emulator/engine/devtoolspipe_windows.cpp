// The pipe's ends as Windows handles: anonymous pipes have no waiting for readiness, so a
// thread of the pipe's own reads, and writes go straight through.
#include "engine/devtoolspipe.h"

#include <QMetaObject>

#include <atomic>
#include <thread>

#include <windows.h>

struct DevToolsPipe::Ends
{
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    std::thread reader;
    std::atomic<HANDLE> readerThread{nullptr}; // its own handle, for cancelling its read
    std::atomic<bool> done{false};
};

void DevToolsPipe::EndsDeleter::operator()(Ends *ends) const
{
    delete ends;
}

void DevToolsPipe::OpenEnds(qintptr readEnd, qintptr writeEnd)
{
    ends.reset(new Ends);
    ends->read = reinterpret_cast<HANDLE>(readEnd);
    ends->write = reinterpret_cast<HANDLE>(writeEnd);
    const HANDLE read = ends->read;
    Ends *shared = ends.get();
    ends->reader = std::thread([this, read, shared] {
        HANDLE self = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self,
                          0, FALSE, DUPLICATE_SAME_ACCESS);
        shared->readerThread = self;
        char chunk[64 * 1024];
        DWORD count = 0;
        while (::ReadFile(read, chunk, sizeof chunk, &count, nullptr) && count > 0) {
            const QByteArray bytes(chunk, int(count));
            QMetaObject::invokeMethod(
                this, [this, bytes] { Received(bytes, false); }, Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(
            this, [this] { Received({}, true); }, Qt::QueuedConnection);
        shared->done = true;
    });
}

void DevToolsPipe::WantWrite()
{
    QMetaObject::invokeMethod(this, &DevToolsPipe::Flush, Qt::QueuedConnection);
}

void DevToolsPipe::Flush()
{
    while (!output.isEmpty() && ends) {
        DWORD written = 0;
        if (!::WriteFile(ends->write, output.constData(), DWORD(output.size()), &written,
                         nullptr)) {
            Close(); // the browser is gone
            return;
        }
        output.remove(0, qsizetype(written));
    }
}

void DevToolsPipe::CloseEnds()
{
    ::CloseHandle(ends->write);
    // The reader may be waiting in ReadFile, or just about to: cancel until it has ended.
    while (!ends->done) {
        if (const HANDLE thread = ends->readerThread)
            ::CancelSynchronousIo(thread);
        ::Sleep(5);
    }
    ends->reader.join();
    if (const HANDLE thread = ends->readerThread)
        ::CloseHandle(thread);
    ::CloseHandle(ends->read);
    ends.reset();
}
