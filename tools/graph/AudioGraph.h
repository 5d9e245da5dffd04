// A headless graph of Wine's own filters around a filter under test:
// File Source -> WAVE Parser (or a source of the caller's) -> filter -> Sample Grabber
// (recording) -> Null Renderer, with no reference clock so it runs as fast as it can.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>

#include <string>
#include <vector>

#include "tools/graph/SampleRecorder.h"

extern const CLSID kClsidWaveParser;
extern const CLSID kClsidSampleGrabber;
extern const CLSID kClsidNullRenderer;

// The first pin of a filter in a direction, with a reference, or nullptr.
IPin* FirstPin(IBaseFilter* filter, PIN_DIRECTION direction);

class AudioGraph {
  public:
    AudioGraph() = default;
    ~AudioGraph() { Release(); }
    AudioGraph(const AudioGraph&) = delete;
    AudioGraph& operator=(const AudioGraph&) = delete;

    // Builds the graph around filter, with callback called for every sample leaving it; the failing
    // step's HRESULT, and which step, on failure. With outputFirst, the filter's output is
    // connected to the grabber with that type before its input is connected to the parser.
    HRESULT Build(const std::wstring& wavPath, IBaseFilter* filter, ISampleGrabberCB* callback,
                  const AM_MEDIA_TYPE* outputFirst = nullptr);
    // The same chain fed by source, such as a PushSource, instead of the file and parser.
    // With no filter, the source feeds the grabber directly.
    HRESULT BuildFromSource(IBaseFilter* source, IBaseFilter* filter, ISampleGrabberCB* callback);
    const char* FailedStep() const { return step_; }

    HRESULT Run();
    // Plays in real time against the graph's default clock instead of as fast as it can.
    HRESULT UseDefaultClock();
    HRESULT Pause();
    HRESULT Stop();
    // Waits for EC_COMPLETE; false on a timeout or an error event. Seen codes are kept.
    bool WaitForComplete(DWORD timeoutMs);
    const std::vector<long>& Events() const { return events_; }

    IGraphBuilder* Graph() { return graph_; }
    IMediaSeeking* Seeking() { return seeking_; }
    void Release();

  private:
    // The pieces both builds share.
    HRESULT CreateGraph();
    HRESULT AddGrabber(ISampleGrabberCB* callback, IBaseFilter** grabber);
    // The Null Renderer after the grabber, no clock, and the graph faces kept.
    HRESULT Finish(IBaseFilter* grabber);

    HRESULT Step(const char* name, HRESULT hr) {
        if (FAILED(hr) && step_ == nullptr) step_ = name;
        return hr;
    }

    IGraphBuilder* graph_ = nullptr;
    IMediaControl* control_ = nullptr;
    IMediaEventEx* events_face_ = nullptr;
    IMediaSeeking* seeking_ = nullptr;
    const char* step_ = nullptr;
    std::vector<long> events_;
};
