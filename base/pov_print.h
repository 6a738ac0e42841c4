// Indented output: every line of scene text that starts a line goes through
// these, with two spaces per level of the object tree.
#pragma once

#include "zalbase.h"

#include <cstdio>

void pov_printf(FILE *file, int depth, const char *format, ...) __attribute__((format(printf, 3, 4)));
// keyword (omitted when null or empty), then <a, b, c> with number_format
// ("%g" or "%.6g") for each component, then a line end.
void pov_print_vector(FILE *file, int depth, const char *keyword, const char *number_format, float a, float b,
                      float c);
void pov_print_vec3(FILE *file, int depth, const char *keyword, float a, float b, float c);
void pov_print_vect3(FILE *file, int depth, const char *keyword, const ZAL_VECT3 &v);
