# The libraries of the Windows program: static archives built by tools/windows_deps.sh,
# under the target names the Linux build gets from its packages.
set(ZEPHIRO_WINDOWS_DEPS "" CACHE PATH "Prefix printed by tools/windows_deps.sh")
if(NOT EXISTS "${ZEPHIRO_WINDOWS_DEPS}/lib/libSDL2.a")
  message(FATAL_ERROR "ZEPHIRO_WINDOWS_DEPS must name the prefix of tools/windows_deps.sh")
endif()

function(windows_library target file)
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES
    IMPORTED_LOCATION "${ZEPHIRO_WINDOWS_DEPS}/lib/${file}"
    INTERFACE_INCLUDE_DIRECTORIES "${ZEPHIRO_WINDOWS_DEPS}/include"
    INTERFACE_LINK_LIBRARIES "${ARGN}")
endfunction()

windows_library(ZLIB::ZLIB libz.a)
windows_library(PkgConfig::MINIZIP libminizip.a ZLIB::ZLIB)
windows_library(PkgConfig::DEFLATE libdeflate.a)
windows_library(zephiro_lzma liblzma.a)
windows_library(LibArchive::LibArchive libarchive.a zephiro_lzma ZLIB::ZLIB bcrypt)
windows_library(PNG::PNG libpng.a ZLIB::ZLIB)
windows_library(Freetype::Freetype libfreetype.a ZLIB::ZLIB)
windows_library(SDL2::SDL2 libSDL2.a setupapi winmm imm32 version ole32 oleaut32 gdi32 user32 shell32
  cfgmgr32 uuid advapi32)
windows_library(GTest::gtest libgtest.a)
windows_library(GTest::gtest_main libgtest_main.a GTest::gtest)
set_property(TARGET Freetype::Freetype APPEND PROPERTY INTERFACE_INCLUDE_DIRECTORIES
  "${ZEPHIRO_WINDOWS_DEPS}/include/freetype2")
set_property(TARGET SDL2::SDL2 APPEND PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${ZEPHIRO_WINDOWS_DEPS}/include/SDL2")
# Static archives on Windows: their headers must not expect DLL imports.
set_property(TARGET LibArchive::LibArchive APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS LIBARCHIVE_STATIC)
set_property(TARGET zephiro_lzma APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)
set_property(TARGET SDL2::SDL2 APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS SDL_MAIN_HANDLED)

# The system's own libraries: cryptography (MD5), the shell, the drives' devices, OpenGL.
set(ZEPHIRO_SYSTEM_LIBRARIES opengl32 bcrypt shell32 ole32 uuid comdlg32 dbghelp psapi)
# One program file that needs nothing but Windows: the compiler's own runtime goes in too.
add_link_options(-static -static-libgcc -static-libstdc++)
