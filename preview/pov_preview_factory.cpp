// The "Photo-realistic (POVRay)" display-surface factory and its
// registration, offered only when POV-Ray for Windows is installed.
#include "preview/pov_preview.h"
#include "preview/pov_preview_surface.h"

#include "win32.h"

#include <new>

PovPreviewSurfaceFactory::PovPreviewSurfaceFactory(int pov_language) : language(pov_language) {}
PovPreviewSurfaceFactory::~PovPreviewSurfaceFactory() {}

const char *PovPreviewSurfaceFactory::name() {
  return language == kPovLanguage37 ? "Photo-realistic (POV-Ray 3.7)" : "Photo-realistic (POVRay)";
}
int PovPreviewSurfaceFactory::surface_code() { return language == kPovLanguage37 ? 27 : 26; }

VYuniverseDisplaySurface *PovPreviewSurfaceFactory::create_surface(void *context, const VYbitmapInfo &info,
                                                                   const VYsurfaceOptions *options) {
  return create_surface(context, info.width, info.height, info.depth, options);
}

VYuniverseDisplaySurface *PovPreviewSurfaceFactory::create_surface(void *context, int width, int height,
                                                                   int depth,
                                                                   const VYsurfaceOptions *options) {
  // No module state: dll_init has not run (or failed), and there is nowhere
  // to keep the surface's parts and textures.
  if (!state)
    return nullptr;
  auto *surface = new (std::nothrow) PovPreviewSurface(state, context, width, height, depth, options);
  if (surface)
    surface->set_language(language);
  return surface;
}

// The key's existence is the whole test; "Home" is read at every render.
int pov_register_preview(PovPreviewSurfaceFactory *factory) {
  HKEY key;
  LONG result =
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\POV-Ray\\CurrentVersion\\Windows", 0, KEY_READ, &key);
  if (result == ERROR_SUCCESS) {
    universe_display_surface_register(factory);
    return RegCloseKey(key);
  }
  result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\POV-Ray\\Windows", 0, KEY_READ, &key);
  if (result == ERROR_SUCCESS) {
    universe_display_surface_register(factory);
    return RegCloseKey(key);
  }
  return result;
}
