# The Windows build's tests, run here under Wine in a prefix of the build folder that the
# first test makes (the Windows programs share it).
set(ZEPHIRO_WINE_ENV "WINEPREFIX=${CMAKE_BINARY_DIR}/wine" "WINEDEBUG=-all")
add_test(NAME Windows.WinePrefix COMMAND bash -c "wineboot -i && wineserver -w")
set_tests_properties(Windows.WinePrefix PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${ZEPHIRO_WINE_ENV}" TIMEOUT 600)

add_test(NAME Windows.CommandLineInstallVerifyRepair
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/command_line_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(Windows.CommandLineInstallVerifyRepair PROPERTIES
  FIXTURES_REQUIRED wine ENVIRONMENT "${ZEPHIRO_WINE_ENV}" TIMEOUT 900)

# The test binary for Windows: the whole suite, less what only a POSIX system has.
file(GLOB ZEPHIRO_WIN_TESTS CONFIGURE_DEPENDS tests/*.cpp)
list(FILTER ZEPHIRO_WIN_TESTS EXCLUDE REGEX "_posix\\.cpp$")
# Left out, as they test what only Linux has: fatal signals and their crash log (the Windows
# exception filter's crash log is tested in tests/windows/platform_test.cpp), ejecting through
# UDisks2 on D-Bus, the freedesktop.org install of desktop entry and icons, and the Linux
# release's ELF file on disc 1.
list(REMOVE_ITEM ZEPHIRO_WIN_TESTS ${CMAKE_SOURCE_DIR}/tests/crash_log_test.cpp ${CMAKE_SOURCE_DIR}/tests/udisks_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/desktop_install_test.cpp ${CMAKE_SOURCE_DIR}/tests/release_disc_test.cpp)
add_executable(zephiro_tests_win tests/windows/platform_test.cpp ${ZEPHIRO_WIN_TESTS})
target_link_libraries(zephiro_tests_win PRIVATE zephiro_core GTest::gtest GTest::gtest_main)
target_link_options(zephiro_tests_win PRIVATE -Wl,--export-all-symbols)
target_compile_definitions(zephiro_tests_win PRIVATE
  ZEPHIRO_SOURCE_DIR="${CMAKE_SOURCE_DIR}" ZEPHIRO_BINARY_DIR="${CMAKE_BINARY_DIR}")

# Each test of the binary is a test of its own under Wine, as on Linux, in the session that
# tests/windows/test_session.sh keeps: its own prefix, screen and Wine server.
set(ZEPHIRO_WINE_TEST_DISPLAY ":79" CACHE STRING "The virtual screen of the Windows test run")
# The session's environment goes into the command each test runs (ctest's ENVIRONMENT
# property cannot be handed more than one entry through gtest_discover_tests). The folders
# are Windows paths (Wine's Z: drive), as the known folders that follow them must be.
set(ZEPHIRO_WINE_TEST_ENV "WINEPREFIX=${CMAKE_BINARY_DIR}/wine-tests" "WINEDEBUG=-all"
  "DISPLAY=${ZEPHIRO_WINE_TEST_DISPLAY}" "LIBGL_ALWAYS_SOFTWARE=1"
  "XDG_DESKTOP_DIR=Z:${CMAKE_BINARY_DIR}/wine-tests-user/desktop" "XDG_DATA_HOME=Z:${CMAKE_BINARY_DIR}/wine-tests-user/data")
add_test(NAME Windows.TestSession COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/test_session.sh start
  ${CMAKE_BINARY_DIR} ${ZEPHIRO_WINE_TEST_DISPLAY})
add_test(NAME Windows.TestSessionEnd COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/test_session.sh stop
  ${CMAKE_BINARY_DIR} ${ZEPHIRO_WINE_TEST_DISPLAY})
set_tests_properties(Windows.TestSession PROPERTIES FIXTURES_SETUP wine_tests TIMEOUT 600)
set_tests_properties(Windows.TestSessionEnd PROPERTIES FIXTURES_CLEANUP wine_tests)
set_target_properties(zephiro_tests_win PROPERTIES CROSSCOMPILING_EMULATOR
  "env;${ZEPHIRO_WINE_TEST_ENV};bash;${CMAKE_SOURCE_DIR}/tests/windows/in_session.sh")
add_dependencies(zephiro_tests_win zephiro-installer make_disc_set extract_archive)
include(GoogleTest)
gtest_discover_tests(zephiro_tests_win TEST_PREFIX "Windows." DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300
  PROPERTIES TIMEOUT 300 FIXTURES_REQUIRED wine_tests)

add_test(NAME Windows.WindowInstallsAcrossThreeDiscs
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/window_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(Windows.WindowInstallsAcrossThreeDiscs PROPERTIES
  FIXTURES_REQUIRED wine ENVIRONMENT "${ZEPHIRO_WINE_ENV}" TIMEOUT 900)
# The Windows programs share the prefix's user folders and register of installed copies.
set_tests_properties(Windows.CommandLineInstallVerifyRepair Windows.WindowInstallsAcrossThreeDiscs
  PROPERTIES RESOURCE_LOCK wine_user)
