// The MFT face's streaming: one held input sample filtered into the caller's output samples
// through the same driver and loop as the DMO's ProcessOutput.
#include "filter/MftFace.h"

#include "filter/ResonantDmo.h"

#include <mfapi.h>
#include <mferror.h>

HRESULT MftFace::StartIfNeeded() {
    if (started_) return S_OK;
    const HRESULT hr = dmo_.driver_.StartStreaming();
    if (FAILED(hr)) return hr;
    started_ = true;
    return S_OK;
}

void MftFace::EndStream() {
    DropHeld();
    if (!started_) return;
    dmo_.driver_.StopStreaming();
    started_ = false;
}

void MftFace::DropHeld() {
    if (held_.buffer) held_.buffer->Release();
    if (held_.sample) held_.sample->Release();
    held_ = HeldInput{};
}

STDMETHODIMP MftFace::ProcessInput(DWORD id, IMFSample* sample, DWORD flags) {
    if (id != 0) return MF_E_INVALIDSTREAMNUMBER;
    if (!sample) return E_POINTER;
    if (flags != 0) return E_INVALIDARG;
    LockHold hold(dmo_.lock_);
    if (!TypesSet()) return MF_E_TRANSFORM_TYPE_NOT_SET;
    if (held_.sample) return MF_E_NOTACCEPTING;
    HRESULT hr = StartIfNeeded();
    if (FAILED(hr)) return hr;
    IMFMediaBuffer* buffer = nullptr;
    hr = sample->ConvertToContiguousBuffer(&buffer);
    if (FAILED(hr)) return hr;
    DWORD bytes = 0;
    hr = buffer->GetCurrentLength(&bytes);
    if (FAILED(hr)) {
        buffer->Release();
        return hr;
    }
    UINT32 discontinuity = 0;
    if (SUCCEEDED(sample->GetUINT32(MFSampleExtension_Discontinuity, &discontinuity)) &&
        discontinuity)
        restartNext_ = true;
    // A part frame at the end cannot be filtered and is dropped, as on the filter; a sample
    // with no whole frame is consumed at once and its discontinuity waits for the next.
    const DWORD frames = bytes / dmo_.driver_.Format().nBlockAlign;
    if (frames == 0) {
        buffer->Release();
        return S_OK;
    }
    LONGLONG time = 0;
    held_.timed = SUCCEEDED(sample->GetSampleTime(&time));
    held_.time = time;
    sample->AddRef();
    held_.sample = sample;
    held_.buffer = buffer;
    held_.frames = frames;
    held_.restart = restartNext_;
    restartNext_ = false;
    return S_OK;
}

HRESULT MftFace::FilterHeld(BYTE* out, DWORD room, DWORD* frames) {
    const DWORD block = dmo_.driver_.Format().nBlockAlign;
    DWORD n = held_.frames - held_.done;
    if (n > room) n = room;
    *frames = 0;
    BYTE* data = nullptr;
    HRESULT hr = held_.buffer->Lock(&data, nullptr, nullptr);
    if (FAILED(hr)) return hr;
    // A host may hand the input sample back as the output: the copy allows for that.
    hr = dmo_.FilterInput(out, data + size_t(held_.done) * block, n, held_.done == 0,
                          held_.timed ? &held_.time : nullptr, held_.restart);
    held_.buffer->Unlock();
    if (FAILED(hr)) return hr;
    *frames = n;
    return S_OK;
}

// A failure with input held drops it, whatever failed, as on the DMO: a sample still held would
// refuse every later input until a flush. Calls refused for their arguments change nothing.
STDMETHODIMP MftFace::ProcessOutput(DWORD, DWORD count, MFT_OUTPUT_DATA_BUFFER* samples,
                                    DWORD* status) {
    if (!samples || !status) return E_POINTER;
    *status = 0;
    if (count != 1) return E_INVALIDARG;
    MFT_OUTPUT_DATA_BUFFER& output = samples[0];
    output.dwStatus = 0;
    // We filter into the caller's sample and never allocate one.
    if (!output.pSample) return E_INVALIDARG;
    LockHold hold(dmo_.lock_);
    if (!TypesSet()) return MF_E_TRANSFORM_TYPE_NOT_SET;
    if (!held_.sample) return MF_E_TRANSFORM_NEED_MORE_INPUT;
    const HRESULT hr = FillOutput(output.pSample, &output.dwStatus);
    if (FAILED(hr)) DropHeld();
    return hr;
}

HRESULT MftFace::FillOutput(IMFSample* sample, DWORD* status) {
    HRESULT hr = StartIfNeeded();  // after an end of streaming with a sample still held
    if (FAILED(hr)) return hr;
    IMFMediaBuffer* buffer = nullptr;
    hr = sample->ConvertToContiguousBuffer(&buffer);
    if (FAILED(hr)) return hr;
    const DWORD block = dmo_.driver_.Format().nBlockAlign;
    const DWORD first = held_.done;
    const bool restart = first == 0 && held_.restart;
    BYTE* data = nullptr;
    DWORD size = 0;
    DWORD n = 0;
    hr = buffer->Lock(&data, &size, nullptr);
    if (SUCCEEDED(hr)) {
        hr = size >= block ? FilterHeld(data, size / block, &n) : MF_E_BUFFERTOOSMALL;
        buffer->Unlock();
    }
    if (SUCCEEDED(hr)) hr = buffer->SetCurrentLength(n * block);
    buffer->Release();
    if (FAILED(hr)) return hr;
    held_.done += n;
    hr = held_.timed ? sample->SetSampleTime(held_.time + dmo_.FramesToTime(first)) : S_OK;
    if (SUCCEEDED(hr))
        hr = sample->SetSampleDuration(dmo_.FramesToTime(held_.done) - dmo_.FramesToTime(first));
    // The mark says what this piece is: a reused sample may still carry an older one.
    if (SUCCEEDED(hr)) {
        hr = restart ? sample->SetUINT32(MFSampleExtension_Discontinuity, TRUE)
                     : sample->DeleteItem(MFSampleExtension_Discontinuity);
    }
    if (FAILED(hr)) return hr;
    if (held_.done < held_.frames) {
        *status = MFT_OUTPUT_DATA_BUFFER_INCOMPLETE;
    } else {
        DropHeld();
    }
    return S_OK;
}
