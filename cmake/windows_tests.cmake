# The Windows build's tests, run here under Wine in a prefix of the build folder that the
# first test makes (the Windows programs share it).
set(ZEPHIRO_WINE_ENV "WINEPREFIX=${CMAKE_BINARY_DIR}/wine" "WINEDEBUG=-all")
add_test(NAME Windows.WinePrefix COMMAND bash -c "wineboot -i && wineserver -w")
set_tests_properties(Windows.WinePrefix PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${ZEPHIRO_WINE_ENV}" TIMEOUT 600)

add_test(NAME Windows.CommandLineInstallVerifyRepair
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/windows/command_line_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(Windows.CommandLineInstallVerifyRepair PROPERTIES
  FIXTURES_REQUIRED wine ENVIRONMENT "${ZEPHIRO_WINE_ENV}" TIMEOUT 900)

# The test binary for Windows: the Windows side of platform/, and the tests that need neither
# POSIX processes nor an X display of their own (the others drive the program through fork,
# signals and X11, which the window and command-line flows above cover on Windows).
add_executable(zephiro_tests_win
  tests/windows/platform_test.cpp tests/threads_test.cpp tests/options_test.cpp tests/user_text_test.cpp
  tests/embedded_resources_test.cpp tests/desktop_scale_test.cpp tests/texture_workers_test.cpp
  tests/artwork_test.cpp)
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
