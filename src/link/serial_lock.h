#pragma once
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace gaugemon::link {

// The lock file of a serial device that serial programs on Linux agree on:
// "LCK..ttyUSB0" in the system's lock directory, holding the process id of
// the holder (then, as Qt programs and earlier stations write it, the
// program's name and the host's). A lock whose process no longer runs is left
// over by a program that was killed; it is removed, or passed over when its
// owner alone may remove it (another user's lock in the sticky /run/lock), so
// it never keeps the device from being opened. The device's own exclusive
// open still keeps a second opener out.
class SerialLock {
public:
    enum class Outcome {
        Taken,        // the lock file is ours until release()
        NotTaken,     // no lock file could be made; the device may be opened
        HeldByOther,  // a running process holds the device
    };

    // The directories looked at, in this order, as other serial programs do.
    static std::vector<std::filesystem::path> systemDirectories();

    explicit SerialLock(std::vector<std::filesystem::path> directories = systemDirectories());
    ~SerialLock() { release(); }
    SerialLock(const SerialLock&) = delete;
    SerialLock& operator=(const SerialLock&) = delete;

    // Locks `device` ("/dev/ttyUSB0").
    Outcome acquire(const std::string& device);
    // Removes the lock file if it is still the one acquire() made.
    void release();

    // The running holder found by the last acquire() that returned HeldByOther.
    pid_t holder() const { return holder_; }
    // The lock file used for `device`; empty when no directory can hold one.
    std::filesystem::path lockFileFor(const std::string& device) const;

private:
    bool create(const std::filesystem::path& path);
    bool heldByRunningProcess(const std::filesystem::path& path);

    std::vector<std::filesystem::path> directories_;
    std::filesystem::path taken_;
    dev_t takenDevice_ = 0;
    ino_t takenInode_ = 0;
    pid_t holder_ = 0;
};

}  // namespace gaugemon::link
