// brightfold render --frames / --turntable: one picture per frame.
#pragma once

#include "app/cli/render_request.h"

namespace bf {

// Renders the request's frames on one preview surface, in the render's
// private directory (the current one), with the scene loaded: each frame
// sets the animated nodes and the turntable camera to the frame's time,
// draws (a part's include file is written in the first draw only) and
// writes its picture whole. Then the video, when asked. Answers the exit
// code.
int render_frames(VYuniverseDisplaySurfaceFactory &factory, const RenderRequest &request);

} // namespace bf
