// Placeholder until the geometry writer lands; replaced by the real files.
#include "geometry/pov_parts.h"
PartRecord *pov_declare_part(FILE *, int, _object *) { return nullptr; }
void pov_release_part(void *) {}
void pov_write_shape(FILE *, int, _object *, PartRecord *) {}
