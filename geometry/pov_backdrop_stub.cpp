// Placeholder until the backdrop writer lands; replaced by the real file.
#include "geometry/pov_backdrop.h"
void pov_write_backdrop(FILE *, int, _object *) {}
