#include "core/app_state.h"

#include "platform/host.h"

static AppState g_app;

AppState& app() { return g_app; }
void reset_app_state() { g_app = AppState(); }

int host_platform() { return platform::host_target_platform(); }
