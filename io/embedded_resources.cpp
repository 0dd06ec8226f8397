#include "io/embedded_resources.h"

#include <strings.h>

const EmbeddedResource* find_embedded_resource(const char* name) {
  for (int i = 0; i < g_embedded_resource_count; ++i)
    if (strcasecmp(g_embedded_resources[i].name, name) == 0) return &g_embedded_resources[i];
  return nullptr;
}
