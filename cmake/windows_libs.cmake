# The FFmpeg libraries and libdvbpsi for a Windows build: cross-built static
# by tools/build-windows-libs from Debian's sources of the versions the Linux
# build links, into this build tree (a rebuild reuses them; the unpacked
# sources sit beside the build tree, one copy for both arches). Makes
# the targets PkgConfig::FFMPEG and PkgConfig::DVBPSI, as pkg-config gives
# them on Linux.
set(MELVIR_WINDOWS_LIBS_DIR ${CMAKE_BINARY_DIR}/windows-libs)
get_filename_component(MELVIR_WINDOWS_LIBS_SOURCES ${CMAKE_BINARY_DIR}/../windows-libs-src ABSOLUTE)
message(STATUS "FFmpeg and libdvbpsi for ${CMAKE_SYSTEM_PROCESSOR}: ${MELVIR_WINDOWS_LIBS_DIR}")
execute_process(
  COMMAND bash ${CMAKE_SOURCE_DIR}/tools/build-windows-libs ${CMAKE_SYSTEM_PROCESSOR}
          ${MELVIR_WINDOWS_LIBS_DIR} ${MELVIR_WINDOWS_LIBS_SOURCES}
  RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "the FFmpeg libraries and libdvbpsi for Windows were not built (tools/build-windows-libs)")
endif()

find_package(PkgConfig REQUIRED)
# Only the libraries built here, linked with what they need when static.
set(ENV{PKG_CONFIG_LIBDIR} ${MELVIR_WINDOWS_LIBS_DIR}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
function(melvir_windows_lib name)
  pkg_check_modules(${name} REQUIRED ${ARGN})
  add_library(PkgConfig::${name} INTERFACE IMPORTED GLOBAL)
  set_target_properties(PkgConfig::${name} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${${name}_STATIC_INCLUDE_DIRS}"
    INTERFACE_COMPILE_OPTIONS "${${name}_STATIC_CFLAGS_OTHER}"
    INTERFACE_LINK_LIBRARIES "${${name}_STATIC_LDFLAGS}")
endfunction()
melvir_windows_lib(DVBPSI libdvbpsi)
melvir_windows_lib(FFMPEG libavformat libavcodec libswscale libavutil)
