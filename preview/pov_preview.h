// The "Photo-realistic (POVRay)" display surface and its factory, and the
// "Photo-realistic (POV-Ray 3.7)" one that writes the 3.7 language.
#pragma once

#include "base/pov_session.h"
#include "zalvy.h"

class PovPreviewSurfaceFactory : public VYuniverseDisplaySurfaceFactoryImp {
public:
  explicit PovPreviewSurfaceFactory(int pov_language = kPovLanguage30);
  ~PovPreviewSurfaceFactory() override;
  const char *name() override;
  int surface_code() override;
  VYuniverseDisplaySurface *create_surface(void *context, const VYbitmapInfo &info,
                                           const VYsurfaceOptions *options) override;
  VYuniverseDisplaySurface *create_surface(void *context, int width, int height, int depth,
                                           const VYsurfaceOptions *options) override;

  PovModuleState *state = nullptr; // handed to every surface it creates
  int language;                    // the scene language its surfaces write
};

// Registers the factory when a POV-Ray installation is in the registry;
// answers 0, or the registry's error code.
int pov_register_preview(PovPreviewSurfaceFactory *factory);
