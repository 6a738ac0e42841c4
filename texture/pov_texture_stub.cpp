// Placeholder until the texture writer lands; replaced by the real files.
#include "texture/pov_texture.h"
void texture_list_clear(int) {}
int write_texture_statements(FILE *, int, _object *, const ZAL_COLOR &, float) { return 0; }
