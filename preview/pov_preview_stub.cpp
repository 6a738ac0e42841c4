// Placeholder until the preview surface lands; replaced by the real files.
#include "preview/pov_preview.h"
PovPreviewSurfaceFactory::PovPreviewSurfaceFactory() {}
PovPreviewSurfaceFactory::~PovPreviewSurfaceFactory() {}
const char *PovPreviewSurfaceFactory::name() { return "Photo-realistic (POVRay)"; }
int PovPreviewSurfaceFactory::surface_code() { return 26; }
VYuniverseDisplaySurface *PovPreviewSurfaceFactory::create_surface(void *, const VYbitmapInfo &,
                                                                   const VYsurfaceOptions *) { return nullptr; }
VYuniverseDisplaySurface *PovPreviewSurfaceFactory::create_surface(void *, int, int, int,
                                                                   const VYsurfaceOptions *) { return nullptr; }
int pov_register_preview(PovPreviewSurfaceFactory *) { return 2; }
