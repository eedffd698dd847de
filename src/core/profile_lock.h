#pragma once
#include <string>

namespace gaugemon::core {

// One station at a time on a profile: a lock on a file in the profile's
// directory, held while the station runs. The system lets go of it when the
// process ends in any way, a kill -9 included, so no stale lock is left.
class ProfileLock {
public:
    ProfileLock() = default;
    ~ProfileLock();
    ProfileLock(const ProfileLock&) = delete;
    ProfileLock& operator=(const ProfileLock&) = delete;

    enum class Outcome { Held, HeldElsewhere, Unavailable };
    // Takes the lock file `station.lock` in `directory` (created if missing).
    // Unavailable: the file cannot be made or locked, so nothing would keep
    // a second station off the profile.
    Outcome take(const std::string& directory);
    void release();
    // Why the last take was Unavailable: the file and the system's reason.
    const std::string& failure() const { return failure_; }

private:
    int fd_ = -1;
    std::string failure_;
};

}  // namespace gaugemon::core
