// One run of a WAV file through the DMO's class as a Media Foundation transform, as a Media
// Foundation application inserts an audio effect: the source resolver's WAV source, a topology of
// source -> transform -> sample grabber, played by a Media Session with the grabber ignoring the
// clock. The grabber takes the source's current type, which the transform passes on unchanged:
// a converter after a transform node is not something every platform's loader survives.
#pragma once

#include "platform/Platform.h"

#include <mftransform.h>

#include "tools/common/ToolOptions.h"
#include "tools/common/WavFile.h"
#include "tools/common/WavPieceReader.h"
#include "tools/host/GraphRun.h"

// input: options.input, open; the source must deliver its samples as they are (the stream's
// encoding), and the sink must see all its frames. Starts and stops Media Foundation itself.
GraphResult RunMediaSession(const ToolOptions& options, IMFTransform* transform,
                            const WavPieceReader& input, WavWriter& writer, const char* tool);
