#pragma once
// Runs a stretch of a test with little address space left, so that an
// allocation beyond it fails instead of succeeding lazily.

#include <cstddef>
#include <fstream>

#include <sys/resource.h>
#include <unistd.h>

// Lowers the address-space limit to what the process uses plus some room,
// and puts the old limit back afterwards.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(size_t room) {
        getrlimit(RLIMIT_AS, &saved_);
        size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        rlimit lowered = saved_;
        lowered.rlim_cur = pages * static_cast<size_t>(sysconf(_SC_PAGESIZE)) + room;
        active_ = lowered.rlim_cur < saved_.rlim_max && setrlimit(RLIMIT_AS, &lowered) == 0;
    }
    ~AddressSpaceLimit() {
        if (active_) setrlimit(RLIMIT_AS, &saved_);
    }
    bool Active() const { return active_; }

private:
    rlimit saved_{};
    bool active_ = false;
};
