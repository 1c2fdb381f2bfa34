#pragma once
// Synchronisation objects: a lock interface and a recursive critical section.

#include "framework/Classes.h"

#include <mutex>

class TSynchroObject : public TObject {
public:
    std::string ClassName() const override { return "TSynchroObject"; }
    virtual void EnterLock() {}
    virtual void LeaveLock() {}
};

// Recursive: the thread that holds it may enter again and must leave as often as it entered.
class TCriticalSection : public TSynchroObject {
public:
    std::string ClassName() const override { return "TCriticalSection"; }
    void EnterLock() override { FSection.lock(); }
    void LeaveLock() override { FSection.unlock(); }

private:
    std::recursive_mutex FSection;
};
