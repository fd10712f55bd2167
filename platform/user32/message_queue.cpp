#include "platform/user32/message_queue.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "platform/kernel32/winbase.h"
#include "platform/user32/winuser.h"

namespace ve::user {
namespace {

// Room for the original platform's limit of 10000 posted messages per queue.
constexpr int kQueueBytes = 512 * 1024;

std::string uniqueQueueName() {
    std::random_device entropy;
    uint64_t tag = (uint64_t(entropy()) << 32) ^ entropy();
    char name[64];
    std::snprintf(name, sizeof name, "queue-%d-%016llx", int(::getpid()),
                  static_cast<unsigned long long>(tag));
    return name;
}

// Writes with SIGPIPE held back: a reader that vanishes between our open and our write must give
// an error here, not end the posting process.
ssize_t writeWithoutSigpipe(int fd, const void* data, size_t size) {
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    sigset_t pendingBefore;
    sigpending(&pendingBefore);
    ssize_t put;
    do {
        put = ::write(fd, data, size);
    } while (put < 0 && errno == EINTR);
    int writeError = errno;
    if (put < 0 && writeError == EPIPE && !sigismember(&pendingBefore, SIGPIPE)) {
        timespec zero{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = writeError;
    return put;
}

}  // namespace

MessageQueue::~MessageQueue() {
    close();
}

bool MessageQueue::open(const std::string& desktop) {
    if (fd_ >= 0 && desktop_ == desktop) return true;
    close();
    std::string name = uniqueQueueName();
    std::string path = desktop + "/" + name;
    if (::mkfifo(path.c_str(), 0600) != 0) return false;
    // Opened for reading and writing, so the pipe never reports end-of-file while we live, and
    // without blocking, since there is no writer yet.
    int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        ::unlink(path.c_str());
        return false;
    }
    ::fcntl(fd, F_SETPIPE_SZ, kQueueBytes);
    fd_ = fd;
    desktop_ = desktop;
    name_ = name;
    return true;
}

void MessageQueue::receive() {
    if (fd_ < 0) return;
    char buffer[4096];
    for (;;) {
        ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        partial_.append(buffer, size_t(got));
    }
    size_t whole = partial_.size() / sizeof(QueuedMessage);
    for (size_t i = 0; i < whole; ++i) {
        QueuedMessage message;
        std::memcpy(&message, partial_.data() + i * sizeof message, sizeof message);
        pending_.push_back(message);
    }
    partial_.erase(0, whole * sizeof(QueuedMessage));
}

void MessageQueue::close() {
    if (fd_ < 0) return;
    ::unlink((desktop_ + "/" + name_).c_str());
    ::close(fd_);
    fd_ = -1;
    partial_.clear();
    pending_.clear();
}

DWORD postToQueue(const std::string& desktop, const std::string& queueName,
                  const QueuedMessage& message) {
    if (queueName.empty() || queueName.find('/') != std::string::npos)
        return ERROR_INVALID_WINDOW_HANDLE;
    // Opening a pipe that nobody reads fails at once (ENXIO) in non-blocking mode.
    int fd = ::open((desktop + "/" + queueName).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENXIO ? ERROR_INVALID_WINDOW_HANDLE
                                                 : ERROR_ACCESS_DENIED;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode)) {
        ::close(fd);
        return ERROR_INVALID_WINDOW_HANDLE;
    }
    ssize_t put = writeWithoutSigpipe(fd, &message, sizeof message);
    int error = errno;
    ::close(fd);
    if (put == ssize_t(sizeof message)) return 0;
    if (put < 0 && error == EAGAIN) return ERROR_NOT_ENOUGH_QUOTA;
    return ERROR_INVALID_WINDOW_HANDLE;
}

}  // namespace ve::user
