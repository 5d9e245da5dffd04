#include "tools/graph/AudioGraph.h"

const CLSID kClsidWaveParser = {
    0xD51BD5A1, 0x7548, 0x11CF, {0xA5, 0x20, 0x00, 0x80, 0xC7, 0x7E, 0xF5, 0x8A}};
const CLSID kClsidSampleGrabber = {
    0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const CLSID kClsidNullRenderer = {
    0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

namespace {
template <class T>
void SafeRelease(T*& p) {
    if (p != nullptr) p->Release();
    p = nullptr;
}

HRESULT Create(REFCLSID clsid, IBaseFilter** out) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                            reinterpret_cast<void**>(out));
}
}  // namespace

IPin* FirstPin(IBaseFilter* filter, PIN_DIRECTION direction) {
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins))) return nullptr;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION d;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction) break;
        SafeRelease(pin);
    }
    pins->Release();
    return pin;
}

// Connects from's first output to to's first input, directly, without intelligent connect.
static HRESULT ConnectFilters(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to,
                              const AM_MEDIA_TYPE* type = nullptr) {
    IPin* out = FirstPin(from, PINDIR_OUTPUT);
    IPin* in = FirstPin(to, PINDIR_INPUT);
    HRESULT hr =
        out != nullptr && in != nullptr ? graph->ConnectDirect(out, in, type) : VFW_E_NOT_FOUND;
    SafeRelease(out);
    SafeRelease(in);
    return hr;
}

HRESULT AudioGraph::CreateGraph() {
    return Step("graph", CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IGraphBuilder, reinterpret_cast<void**>(&graph_)));
}

HRESULT AudioGraph::AddGrabber(ISampleGrabberCB* callback, IBaseFilter** grabber) {
    ISampleGrabber* grab = nullptr;
    HRESULT hr = Step("grabber", Create(kClsidSampleGrabber, grabber));
    if (SUCCEEDED(hr))
        hr = Step("grabber face",
                  (*grabber)->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(&grab)));
    if (SUCCEEDED(hr)) hr = Step("callback", grab->SetCallback(callback, 0));
    if (SUCCEEDED(hr)) hr = Step("add grabber", graph_->AddFilter(*grabber, L"Grabber"));
    SafeRelease(grab);
    return hr;
}

HRESULT AudioGraph::Finish(IBaseFilter* grabber) {
    IBaseFilter* sink = nullptr;
    IMediaFilter* media = nullptr;
    HRESULT hr = Step("sink", Create(kClsidNullRenderer, &sink));
    if (SUCCEEDED(hr)) hr = Step("add sink", graph_->AddFilter(sink, L"Sink"));
    if (SUCCEEDED(hr)) hr = Step("grabber->sink", ConnectFilters(graph_, grabber, sink));
    if (SUCCEEDED(hr))
        hr = Step("media filter",
                  graph_->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&media)));
    if (SUCCEEDED(hr)) hr = Step("no clock", media->SetSyncSource(nullptr));
    if (SUCCEEDED(hr))
        hr = Step("control",
                  graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control_)));
    if (SUCCEEDED(hr))
        hr = Step("events", graph_->QueryInterface(IID_IMediaEventEx,
                                                   reinterpret_cast<void**>(&events_face_)));
    if (SUCCEEDED(hr))
        hr = Step("seeking",
                  graph_->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking_)));
    SafeRelease(media);
    SafeRelease(sink);
    return hr;
}

HRESULT AudioGraph::Build(const std::wstring& wavPath, IBaseFilter* filter,
                          ISampleGrabberCB* callback, const AM_MEDIA_TYPE* outputFirst) {
    IBaseFilter* source = nullptr;
    IBaseFilter* parser = nullptr;
    IBaseFilter* grabber = nullptr;
    HRESULT hr = CreateGraph();
    if (SUCCEEDED(hr))
        hr = Step("source", graph_->AddSourceFilter(wavPath.c_str(), L"Source", &source));
    if (SUCCEEDED(hr)) hr = Step("parser", Create(kClsidWaveParser, &parser));
    if (SUCCEEDED(hr)) hr = Step("add parser", graph_->AddFilter(parser, L"Parser"));
    if (SUCCEEDED(hr)) hr = Step("source->parser", ConnectFilters(graph_, source, parser));
    if (SUCCEEDED(hr)) hr = Step("add filter", graph_->AddFilter(filter, L"Under test"));
    if (SUCCEEDED(hr) && outputFirst == nullptr)
        hr = Step("parser->filter", ConnectFilters(graph_, parser, filter));
    if (SUCCEEDED(hr)) hr = AddGrabber(callback, &grabber);
    if (SUCCEEDED(hr))
        hr = Step("filter->grabber", ConnectFilters(graph_, filter, grabber, outputFirst));
    if (SUCCEEDED(hr) && outputFirst != nullptr)
        hr = Step("parser->filter", ConnectFilters(graph_, parser, filter));
    if (SUCCEEDED(hr)) hr = Finish(grabber);
    SafeRelease(grabber);
    SafeRelease(parser);
    SafeRelease(source);
    return hr;
}

HRESULT AudioGraph::BuildFromSource(IBaseFilter* source, IBaseFilter* filter,
                                    ISampleGrabberCB* callback) {
    IBaseFilter* grabber = nullptr;
    HRESULT hr = CreateGraph();
    if (SUCCEEDED(hr)) hr = Step("add source", graph_->AddFilter(source, L"Source"));
    if (SUCCEEDED(hr) && filter != nullptr)
        hr = Step("add filter", graph_->AddFilter(filter, L"Under test"));
    if (SUCCEEDED(hr) && filter != nullptr)
        hr = Step("source->filter", ConnectFilters(graph_, source, filter));
    if (SUCCEEDED(hr)) hr = AddGrabber(callback, &grabber);
    if (SUCCEEDED(hr))
        hr = Step(filter != nullptr ? "filter->grabber" : "source->grabber",
                  ConnectFilters(graph_, filter != nullptr ? filter : source, grabber));
    if (SUCCEEDED(hr)) hr = Finish(grabber);
    SafeRelease(grabber);
    return hr;
}

HRESULT AudioGraph::UseDefaultClock() {
    IFilterGraph* filterGraph = nullptr;
    HRESULT hr = graph_ != nullptr ? graph_->QueryInterface(IID_IFilterGraph,
                                                            reinterpret_cast<void**>(&filterGraph))
                                   : E_UNEXPECTED;
    if (SUCCEEDED(hr)) {
        hr = filterGraph->SetDefaultSyncSource();
        filterGraph->Release();
    }
    return hr;
}

HRESULT AudioGraph::Run() {
    // Drop events of an earlier run so a stale EC_COMPLETE cannot end this one.
    long code;
    LONG_PTR p1, p2;
    while (events_face_->GetEvent(&code, &p1, &p2, 0) == S_OK)
        events_face_->FreeEventParams(code, p1, p2);
    return control_->Run();
}

HRESULT AudioGraph::Pause() {
    return control_->Pause();
}
HRESULT AudioGraph::Stop() {
    return control_->Stop();
}

bool AudioGraph::WaitForComplete(DWORD timeoutMs) {
    DWORD begin = GetTickCount();
    while (GetTickCount() - begin < timeoutMs) {
        long code;
        LONG_PTR p1, p2;
        if (events_face_->GetEvent(&code, &p1, &p2, 100) != S_OK) continue;
        events_face_->FreeEventParams(code, p1, p2);
        events_.push_back(code);
        if (code == EC_COMPLETE) return true;
        if (code == EC_ERRORABORT || code == EC_USERABORT) return false;
    }
    return false;
}

void AudioGraph::Release() {
    if (control_ != nullptr) control_->Stop();
    SafeRelease(seeking_);
    SafeRelease(events_face_);
    SafeRelease(control_);
    SafeRelease(graph_);
}
