#include "io/embedded_resources.h"

#include <gtest/gtest.h>

TEST(EmbeddedResources, UnknownNameIsNotFound) {
  EXPECT_EQ(find_embedded_resource("no such resource.bin"), nullptr);
}
