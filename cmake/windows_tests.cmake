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
add_test(NAME Windows.UnitTests COMMAND wine $<TARGET_FILE:zephiro_tests_win>)
set_tests_properties(Windows.UnitTests PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${ZEPHIRO_WINE_ENV}" TIMEOUT 900)

add_test(NAME Windows.WindowInstallsAcrossThreeDiscs
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/window_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(Windows.WindowInstallsAcrossThreeDiscs PROPERTIES
  FIXTURES_REQUIRED wine ENVIRONMENT "${ZEPHIRO_WINE_ENV}" TIMEOUT 900)
# The Windows programs share the prefix's user folders and register of installed copies.
set_tests_properties(Windows.CommandLineInstallVerifyRepair Windows.WindowInstallsAcrossThreeDiscs
  Windows.UnitTests PROPERTIES RESOURCE_LOCK wine_user)
