# The self-contained release (tools/release.sh, built on the oldest glibc it supports): the
# format and artwork libraries are linked in from their static archives, together with the
# C++ runtime, so that the program is one file that can copy itself off the disc and run
# alone. What stays shared is what every desktop has: glibc, the X11 client library, the
# D-Bus client library and the OpenGL driver. SDL comes from a static build that loads the display libraries at run time.
# Defines ZEPHIRO_LIBRARIES for the program.

# Debian 11's libdeflate has no pkg-config file; it needs nothing else.
pkg_check_modules(RELEASE_STATIC REQUIRED libarchive minizip zlib libpng freetype2 libcrypto sdl2)
find_package(X11 REQUIRED)
# The D-Bus client library (for ejecting through UDisks2) is on every desktop: it stays shared.
pkg_check_modules(DBUS REQUIRED IMPORTED_TARGET dbus-1)
set(OpenGL_GL_PREFERENCE LEGACY)
find_package(OpenGL REQUIRED)

# glibc's own libraries stay shared: a static piece of glibc beside the shared one breaks.
set(glibc_parts m dl pthread rt c)
set(static_libraries deflate)
foreach(lib ${RELEASE_STATIC_STATIC_LIBRARIES})
  list(FIND glibc_parts ${lib} at)
  if(at EQUAL -1)
    list(APPEND static_libraries ${lib})
  endif()
endforeach()
list(REMOVE_DUPLICATES static_libraries)
message(STATUS "Linked statically: ${static_libraries}")

add_library(release_libraries INTERFACE)
# The program names SDL's headers as <SDL2/SDL.h>, from the folder above SDL's own.
pkg_get_variable(sdl_include_dir sdl2 includedir)
target_include_directories(release_libraries INTERFACE ${RELEASE_STATIC_STATIC_INCLUDE_DIRS} ${sdl_include_dir})
target_link_directories(release_libraries INTERFACE ${RELEASE_STATIC_STATIC_LIBRARY_DIRS})
list(TRANSFORM static_libraries PREPEND "-l")
# The group lets the archives name each other in any order.
target_link_libraries(release_libraries INTERFACE
  -Wl,-Bstatic -Wl,--start-group ${static_libraries} -Wl,--end-group -Wl,-Bdynamic
  X11::X11 OpenGL::GL PkgConfig::DBUS Threads::Threads m dl rt)
target_link_options(release_libraries INTERFACE -static-libstdc++ -static-libgcc -Wl,--gc-sections -Wl,--as-needed)
set(ZEPHIRO_LIBRARIES release_libraries)
# No run path: the file is copied off the disc and must not look for libraries in the
# build machine's folders.
set(CMAKE_SKIP_BUILD_RPATH ON)
