// Registration helpers for an in-process server: class keys under HKEY_CLASSES_ROOT, and a
// filter's entry in the platform's filter mapper. Any thread; none of them locks.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>

struct FilterSetup;

// HKCR\CLSID\{clsid} with name as its default value, and below it InprocServer32 with
// modulePath as default value and ThreadingModel "Both". Stops at the first registry failure.
HRESULT WriteClassKey(REFCLSID clsid, const WCHAR* name, const WCHAR* modulePath);

// Removes HKCR\CLSID\{clsid} and everything below it. A key already gone is success, so
// unregistering twice, or an unregistered server, is not an error.
HRESULT DeleteClassKey(REFCLSID clsid);

// COM on the calling thread for one scope, and the thread left as it was found: a thread
// already in the other apartment model keeps it, and COM is usable there as it is.
class ComScope {
  public:
    ComScope();
    ~ComScope() { End(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

    // A failure here means COM cannot be used on this thread.
    HRESULT Result() const { return result_; }
    // Uninitialises now, if this scope initialised.
    void End();

  private:
    HRESULT result_;
    bool owned_;
};

// The platform's filter registry: IFilterMapper2 where there is one, else IFilterMapper.
class FilterMapper {
  public:
    FilterMapper() = default;
    // Uses the older interface only, as on a system without IFilterMapper2. Takes a reference.
    explicit FilterMapper(IFilterMapper* mapper);
    ~FilterMapper() { Release(); }
    FilterMapper(const FilterMapper&) = delete;
    FilterMapper& operator=(const FilterMapper&) = delete;

    // CLSID_FilterMapper2, else CLSID_FilterMapper. COM must be initialised on this thread.
    HRESULT Create();
    void Release();

    // Removes the filter from the default category, then enters it with its name, merit, pins
    // and media types. 0x80070002 (file not found) from either step counts as success.
    HRESULT Register(const FilterSetup& setup);
    // Removes the filter; one that is not there counts as removed.
    HRESULT Unregister(const FilterSetup& setup);

  private:
    HRESULT RegisterOld(const FilterSetup& setup);

    IFilterMapper2* mapper2_ = nullptr;
    IFilterMapper* mapper_ = nullptr;
};

// Registers (or, with registering false, unregisters) one filter through a mapper of its own,
// with COM initialised for the call: the work of IAMovieSetup.
HRESULT UpdateFilterRegistration(const FilterSetup& setup, bool registering);
