#pragma once

#define ZEPHIRO_VERSION_TEXT "Zephiro DVD Installer 2.06r1"
