#pragma once
// Keeps third-party decoders quiet while files are converted.
//
// libpng and libtiff print their own complaints about a broken file straight
// to stderr; pixolune-cli reports every failing file itself, in one line. So
// while an object of this class lives, file descriptor 2 points at /dev/null
// and the program's own lines go to Messages(), a copy of the real stderr.

#include <cstdio>

class QuietStderr {
public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

    // Where the program's own messages go: the original stderr.
    std::FILE* Messages() const { return messages_; }

private:
    std::FILE* messages_ = stderr;
    int saved_ = -1;
};
