// User messages: the emulated host shows them as lines on standard error.
#include "zalbase.h"

#include <cstdio>

static ESD_SINK esd_sink = nullptr;
static void *esd_user = nullptr;

void esd_set_sink(ESD_SINK sink, void *user) {
  esd_sink = sink;
  esd_user = user;
}

void esd_send(const char *message) {
  if (!message)
    message = "";
  if (esd_sink) {
    esd_sink(message, esd_user);
    return;
  }
  std::fprintf(stderr, "%s\n", message);
}
