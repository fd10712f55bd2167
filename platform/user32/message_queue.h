#pragma once
// Message queues between the processes of a desktop: one named pipe per process in the desktop
// directory, read only by its process and written by any. A message is one fixed-size record,
// smaller than the size the host writes to a pipe in one piece, so records from several writers
// never mix, and a full pipe refuses a record whole instead of making the writer wait.

#include <cstdint>
#include <deque>
#include <string>

#include "platform/win32_types.h"

namespace ve::user {

struct QueuedMessage {
    uint32_t window;
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
    uint32_t time;
    uint32_t reserved;
};
static_assert(sizeof(QueuedMessage) == 32);

// The queue of the calling process.
class MessageQueue {
  public:
    ~MessageQueue();

    // Makes sure the queue exists in the given desktop; a queue in another desktop is given up
    // (with whatever it still holds) first. False when the pipe cannot be made.
    bool open(const std::string& desktop);
    bool isOpen() const { return fd_ >= 0; }
    const std::string& desktop() const { return desktop_; }
    const std::string& name() const { return name_; }  // file name inside the desktop
    int descriptor() const { return fd_; }

    // Moves every message that has arrived into pending().
    void receive();
    std::deque<QueuedMessage>& pending() { return pending_; }

    // Removes the pipe; nothing can be posted to this process afterwards.
    void close();

  private:
    std::string desktop_;
    std::string name_;
    int fd_ = -1;
    std::string partial_;
    std::deque<QueuedMessage> pending_;
};

// Writes one message to the queue called queueName in the desktop. Returns 0 or the Win32 error:
// ERROR_INVALID_WINDOW_HANDLE when no process reads that queue any more, ERROR_NOT_ENOUGH_QUOTA
// when it is full.
DWORD postToQueue(const std::string& desktop, const std::string& queueName,
                  const QueuedMessage& message);

}  // namespace ve::user
