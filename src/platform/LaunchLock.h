#pragma once

#include <QString>

#include <chrono>

// Keeps launches deciding one at a time which of them is the running instance. The kernel holds
// the lock for the process that took it and lets it go when that process ends, however it
// ends: a launch killed while it decided holds nothing any more, whatever its file still holds,
// so only a live holder is ever waited for.
class LaunchLock {
public:
    // Takes the lock of the file at the path (made when missing), waiting at most `patience`
    // for a live holder; goes on without it when the file cannot be made or the holder keeps it
    // longer (a launch stopped while it decided must not stop every later one).
    LaunchLock(const QString& path, std::chrono::milliseconds patience);
    ~LaunchLock();
    LaunchLock(const LaunchLock&) = delete;
    LaunchLock& operator=(const LaunchLock&) = delete;

    bool isHeld() const { return held_; }
    // Lets the next launch decide; the file stays, a lock of nobody's.
    void release();

private:
    int descriptor_ = -1;
    bool held_ = false;
};
