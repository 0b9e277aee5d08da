#pragma once

// A stand-in for the C library's read(), linked into the fault tests, for
// the faults a disk makes and the kernel cannot be asked for: a read error
// (a bad sector) at a given offset of one file, reads held at an offset
// until the test lets them go, and slow reads. It acts only on reads of the
// file set with Watch(); everything else reads as usual.

#include <cerrno>
#include <cstdint>
#include <string>

namespace readshim {

struct Plan {
    std::string pathEnd;        // reads of a file whose path ends so
    std::int64_t errorAt = -1;  // reads reaching past it fail with `error`
    std::int64_t holdAt = -1;   // reads reaching past it wait for Release()
    int delayMicroseconds = 0;  // each read waits this long first
    int error = EIO;            // the errno of a failing read
};

// Starts acting on reads of the file `plan` names. Call before the job.
void Watch(const Plan& plan);
// Stops acting; reads held now go on.
void Reset();
// True once a read is held at holdAt; waits at most 60 s.
bool WaitUntilHeld();
// Lets held reads go on (and no further read is held).
void Release();

// Watch() for as long as the object lives.
class Watching {
public:
    explicit Watching(const Plan& plan) { Watch(plan); }
    ~Watching() { Reset(); }
    Watching(const Watching&) = delete;
    Watching& operator=(const Watching&) = delete;
};

}  // namespace readshim
