// The DMO's streaming: one held input buffer filtered into the caller's output buffers through
// the same driver and loop as the filter's Transform, or a buffer filtered in place.
#include "filter/ResonantDmo.h"

#include <cstring>

#include <mediaerr.h>

namespace {

// Newer headers than ours name these: a buffer that does not follow the one before.
constexpr DWORD kInputDiscontinuity = 0x8;
constexpr DWORD kOutputDiscontinuity = 0x8;

constexpr DWORD kInputFlags = DMO_INPUT_DATA_BUFFERF_SYNCPOINT | DMO_INPUT_DATA_BUFFERF_TIME |
                              DMO_INPUT_DATA_BUFFERF_TIMELENGTH | kInputDiscontinuity;

}  // namespace

HRESULT ResonantDmo::StartIfNeeded() {
    if (started_) return S_OK;
    const HRESULT hr = driver_.StartStreaming();
    if (FAILED(hr)) return hr;
    started_ = true;
    restartNext_ = false;
    return S_OK;
}

void ResonantDmo::EndStream() {
    DropHeld();
    if (!started_) return;
    driver_.StopStreaming();
    started_ = false;
}

void ResonantDmo::DropHeld() {
    if (held_.buffer) held_.buffer->Release();
    held_ = HeldInput{};
}

// Frames from the start of the held buffer to time, at the stream's rate, rounded to 100 ns.
REFERENCE_TIME ResonantDmo::FramesToTime(DWORD frames) const {
    const double rate = driver_.Format().nSamplesPerSec;
    return REFERENCE_TIME(double(frames) * 1e7 / rate + 0.5);
}

REFERENCE_TIME ResonantDmo::HeldTimeAt(DWORD first) const {
    return held_.time + FramesToTime(first);
}

HRESULT ResonantDmo::FilterInput(BYTE* out, const BYTE* in, DWORD n, bool first,
                                 const REFERENCE_TIME* time, bool restart) {
    int mode = kBlockContinue;
    if (first) {
        // The input's start time sets the clock, as a media sample's does on the filter.
        dsp_.Store().SetSampleTimes(time);
        if (restart) mode = kBlockRestart;
    }
    memmove(out, in, size_t(n) * driver_.Format().nBlockAlign);
    DWORD done = 0;
    const HRESULT hr = driver_.RunBuffer(out, n, mode, &done);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT ResonantDmo::FilterHeld(BYTE* out, DWORD room, DWORD* frames) {
    const DWORD block = driver_.Format().nBlockAlign;
    DWORD n = held_.frames - held_.done;
    if (n > room) n = room;
    *frames = 0;
    if (n == 0) return S_OK;
    const bool timed = (held_.flags & DMO_INPUT_DATA_BUFFERF_TIME) != 0;
    const HRESULT hr = FilterInput(out, held_.data + size_t(held_.done) * block, n, held_.done == 0,
                                   timed ? &held_.time : nullptr, held_.restart);
    if (FAILED(hr)) return hr;
    *frames = n;
    return S_OK;
}

STDMETHODIMP ResonantDmo::Flush() {
    LockHold hold(lock_);
    DropHeld();
    restartNext_ = true;
    return S_OK;
}

STDMETHODIMP ResonantDmo::Discontinuity(DWORD index) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    LockHold hold(lock_);
    if (!TypesSet()) return DMO_E_TYPE_NOT_SET;
    // Applies to the next buffer taken; a buffer still held finishes as it began.
    restartNext_ = true;
    return S_OK;
}

STDMETHODIMP ResonantDmo::AllocateStreamingResources() {
    LockHold hold(lock_);
    if (!TypesSet()) return DMO_E_TYPE_NOT_SET;
    return StartIfNeeded();
}

STDMETHODIMP ResonantDmo::FreeStreamingResources() {
    LockHold hold(lock_);
    EndStream();
    return S_OK;
}

STDMETHODIMP ResonantDmo::GetInputStatus(DWORD index, DWORD* flags) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (!flags) return E_POINTER;
    LockHold hold(lock_);
    *flags = held_.buffer ? 0 : DMO_INPUT_STATUSF_ACCEPT_DATA;
    return S_OK;
}

STDMETHODIMP ResonantDmo::ProcessInput(DWORD index, IMediaBuffer* buffer, DWORD flags,
                                       REFERENCE_TIME time, REFERENCE_TIME length) {
    if (index != 0) return DMO_E_INVALIDSTREAMINDEX;
    if (!buffer) return E_POINTER;
    if (flags & ~kInputFlags) return E_INVALIDARG;
    LockHold hold(lock_);
    if (!TypesSet()) return DMO_E_TYPE_NOT_SET;
    if (held_.buffer) return DMO_E_NOTACCEPTING;
    // Hosts such as the DMO Wrapper never allocate resources: the first buffer starts the stream.
    HRESULT hr = StartIfNeeded();
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    DWORD bytes = 0;
    hr = buffer->GetBufferAndLength(&data, &bytes);
    if (FAILED(hr)) return hr;
    if (flags & kInputDiscontinuity) restartNext_ = true;
    const DWORD frames = data ? bytes / driver_.Format().nBlockAlign : 0;
    // A part frame at the end cannot be filtered and is dropped, as on the filter.
    if (frames == 0) return S_FALSE;
    buffer->AddRef();
    held_.buffer = buffer;
    held_.data = data;
    held_.frames = frames;
    held_.flags = flags;
    held_.time = time;
    held_.length = length;
    held_.restart = restartNext_;
    restartNext_ = false;
    return S_OK;
}

// A failed call drops the held input, whatever failed: the host takes the failure as the end of
// that buffer and may recycle its memory, and a buffer still held would refuse every later input
// until a flush.
STDMETHODIMP ResonantDmo::ProcessOutput(DWORD flags, DWORD count, DMO_OUTPUT_DATA_BUFFER* buffers,
                                        DWORD* status) {
    LockHold hold(lock_);
    const HRESULT hr = FillOutput(flags, count, buffers, status);
    if (FAILED(hr)) DropHeld();
    return hr;
}

HRESULT ResonantDmo::FillOutput(DWORD flags, DWORD count, DMO_OUTPUT_DATA_BUFFER* buffers,
                                DWORD* status) {
    if (!status || !buffers) return E_POINTER;
    *status = 0;
    if (count != 1) return E_INVALIDARG;
    if (flags & ~DWORD(DMO_PROCESS_OUTPUT_DISCARD_WHEN_NO_BUFFER)) return E_INVALIDARG;
    DMO_OUTPUT_DATA_BUFFER& output = buffers[0];
    output.dwStatus = 0;
    if (!TypesSet()) return DMO_E_TYPE_NOT_SET;
    if (!held_.buffer) return S_FALSE;
    const DWORD block = driver_.Format().nBlockAlign;

    if (!output.pBuffer) {
        if (!(flags & DMO_PROCESS_OUTPUT_DISCARD_WHEN_NO_BUFFER)) return E_POINTER;
        // Filtered all the same, through a small scratch, so the state and the clock follow.
        BYTE scratch[4096];
        const DWORD room = block <= sizeof scratch ? DWORD(sizeof scratch) / block : 0;
        while (room && held_.done < held_.frames) {
            DWORD n = 0;
            const HRESULT hr = FilterHeld(scratch, room, &n);
            if (FAILED(hr)) return hr;
            held_.done += n;
        }
        DropHeld();
        return S_OK;
    }

    BYTE* data = nullptr;
    DWORD used = 0, size = 0;
    HRESULT hr = output.pBuffer->GetBufferAndLength(&data, &used);
    if (SUCCEEDED(hr)) hr = output.pBuffer->GetMaxLength(&size);
    if (FAILED(hr)) return hr;
    if (!data || used > size) return E_INVALIDARG;
    const DWORD first = held_.done;
    const bool restart = first == 0 && held_.restart;
    DWORD n = 0;
    hr = FilterHeld(data + used, (size - used) / block, &n);
    if (FAILED(hr)) return hr;
    held_.done += n;
    if (n > 0) {
        hr = output.pBuffer->SetLength(used + n * block);
        if (FAILED(hr)) return hr;
        if (held_.flags & DMO_INPUT_DATA_BUFFERF_SYNCPOINT)
            output.dwStatus |= DMO_OUTPUT_DATA_BUFFERF_SYNCPOINT;
        if (restart) output.dwStatus |= kOutputDiscontinuity;
        if (held_.flags & DMO_INPUT_DATA_BUFFERF_TIME) {
            output.dwStatus |= DMO_OUTPUT_DATA_BUFFERF_TIME | DMO_OUTPUT_DATA_BUFFERF_TIMELENGTH;
            output.rtTimestamp = HeldTimeAt(first);
            // A whole buffer keeps the length it came with; a part gets its own.
            const bool whole = first == 0 && held_.done == held_.frames &&
                               (held_.flags & DMO_INPUT_DATA_BUFFERF_TIMELENGTH);
            output.rtTimelength =
                whole ? held_.length : HeldTimeAt(held_.done) - output.rtTimestamp;
        }
    }
    if (held_.done < held_.frames) {
        output.dwStatus |= DMO_OUTPUT_DATA_BUFFERF_INCOMPLETE;
    } else {
        DropHeld();
    }
    return S_OK;
}

// S_FALSE while the output would still ring after this block, so a host that collects the
// effect tail calls again with DMO_INPLACE_ZERO; S_OK once it has decayed (see TailPending).
STDMETHODIMP ResonantDmo::Process(ULONG size, BYTE* data, REFERENCE_TIME start, DWORD flags) {
    if (flags & ~DWORD(DMO_INPLACE_ZERO)) return E_INVALIDARG;
    if (!data && size) return E_POINTER;
    LockHold hold(lock_);
    if (!TypesSet()) return DMO_E_TYPE_NOT_SET;
    HRESULT hr = StartIfNeeded();
    if (FAILED(hr)) return hr;
    const WAVEFORMATEX& format = driver_.Format();
    const DWORD frames = size / format.nBlockAlign;
    // A tail call with no whole frame cannot carry the ring-out: S_OK, so the host's loop ends.
    if (frames == 0) return (flags & DMO_INPLACE_ZERO) || !dsp_.TailPending() ? S_OK : S_FALSE;
    const bool silent = (flags & DMO_INPLACE_ZERO) != 0;
    FilterDsp::TailProbe before;
    if (silent) {
        // True silence whatever the host zeroed: an 8-bit buffer of zero bytes is full-scale DC,
        // which a low pass would hold for ever.
        const bool unsigned8 = format.wFormatTag == WAVE_FORMAT_PCM && format.wBitsPerSample == 8;
        memset(data, unsigned8 ? 0x80 : 0, size_t(frames) * format.nBlockAlign);
        dsp_.ProbeTail(&before);
    }
    dsp_.Store().SetSampleTimes(&start);
    const int mode = restartNext_ ? kBlockRestart : kBlockContinue;
    restartNext_ = false;
    DWORD done = 0;
    hr = driver_.RunBuffer(data, frames, mode, &done);
    if (FAILED(hr)) return hr;
    return dsp_.TailPending(silent ? &before : nullptr) ? S_FALSE : S_OK;
}

// Lock(TRUE) holds the object's lock for the caller's thread until its Lock(FALSE), so a host
// can make several calls without another thread's in between.
STDMETHODIMP ResonantDmo::Lock(LONG lock) {
    lock_.Enter();
    if (lock) {
        if (lockDepth_++ == 0) lockOwner_ = GetCurrentThreadId();
        return S_OK;  // stays held
    }
    const bool owned = lockDepth_ > 0 && lockOwner_ == GetCurrentThreadId();
    if (owned) {
        --lockDepth_;
        lock_.Leave();  // the hold taken by the matching Lock(TRUE)
    }
    lock_.Leave();
    return owned ? S_OK : E_UNEXPECTED;
}
