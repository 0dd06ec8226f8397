#pragma once
// Files from resources/ compiled into the program (see cmake/embed_resources.cmake).

struct EmbeddedResource {
  const char* name;            // file name as it stands in resources/
  const unsigned char* begin;  // bytes, followed by one NUL not counted in the size
  const unsigned char* end;
};

extern const EmbeddedResource g_embedded_resources[];
extern const int g_embedded_resource_count;

// The embedded file whose name equals `name` without regard to ASCII case, or null.
const EmbeddedResource* find_embedded_resource(const char* name);
