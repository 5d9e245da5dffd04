#include "tests/support/win32/MfSamples.h"

#include <cstring>

#include <mfapi.h>

IMFMediaType* MfTypeFromRecord(const std::vector<uint8_t>& record) {
    IMFMediaType* type = nullptr;
    if (FAILED(MFCreateMediaType(&type))) return nullptr;
    if (FAILED(MFInitMediaTypeFromWaveFormatEx(
            type, reinterpret_cast<const WAVEFORMATEX*>(record.data()), UINT32(record.size())))) {
        type->Release();
        return nullptr;
    }
    return type;
}

IMFSample* NewMfSample(DWORD room, const void* data, DWORD bytes) {
    IMFSample* sample = nullptr;
    IMFMediaBuffer* buffer = nullptr;
    BYTE* p = nullptr;
    if (FAILED(MFCreateSample(&sample))) return nullptr;
    if (FAILED(MFCreateMemoryBuffer(room ? room : 1, &buffer)) ||
        FAILED(buffer->Lock(&p, nullptr, nullptr))) {
        if (buffer) buffer->Release();
        sample->Release();
        return nullptr;
    }
    if (bytes) std::memcpy(p, data, bytes);
    buffer->Unlock();
    buffer->SetCurrentLength(bytes);
    sample->AddBuffer(buffer);
    buffer->Release();
    return sample;
}

std::vector<uint8_t> MfSampleBytes(IMFSample* sample) {
    std::vector<uint8_t> bytes;
    IMFMediaBuffer* buffer = nullptr;
    if (FAILED(sample->ConvertToContiguousBuffer(&buffer))) return bytes;
    BYTE* p = nullptr;
    DWORD length = 0;
    if (SUCCEEDED(buffer->Lock(&p, nullptr, &length))) {
        bytes.assign(p, p + length);
        buffer->Unlock();
    }
    buffer->Release();
    return bytes;
}
