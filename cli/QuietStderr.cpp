#include "QuietStderr.h"

#include <fcntl.h>
#include <unistd.h>

QuietStderr::QuietStderr() {
    std::fflush(stderr);
    const int saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    std::FILE* messages = saved >= 0 ? ::fdopen(saved, "w") : nullptr;
    if (!messages || null < 0 || ::dup2(null, STDERR_FILENO) < 0) {
        // Without the redirection the messages still arrive, just with the noise.
        if (messages)
            std::fclose(messages);
        else if (saved >= 0)
            ::close(saved);
        if (null >= 0) ::close(null);
        return;
    }
    ::close(null);
    std::setvbuf(messages, nullptr, _IONBF, 0);
    messages_ = messages;
    saved_ = saved;
}

QuietStderr::~QuietStderr() {
    if (saved_ < 0) return;
    std::fflush(messages_);
    ::dup2(saved_, STDERR_FILENO);
    std::fclose(messages_);
}
