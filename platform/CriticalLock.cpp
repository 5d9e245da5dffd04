#include "CriticalLock.h"

#ifdef _WIN32
CriticalLock::CriticalLock() {
    InitializeCriticalSection(&section_);
}
CriticalLock::~CriticalLock() {
    DeleteCriticalSection(&section_);
}
void CriticalLock::Enter() {
    EnterCriticalSection(&section_);
}
void CriticalLock::Leave() {
    LeaveCriticalSection(&section_);
}
#else
CriticalLock::CriticalLock() = default;
CriticalLock::~CriticalLock() = default;
void CriticalLock::Enter() {
    mutex_.lock();
}
void CriticalLock::Leave() {
    mutex_.unlock();
}
#endif
