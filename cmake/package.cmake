# The Debian package: cpack -G DEB in the build folder makes
# melvir_<version>_<arch>.deb from the install rules.
# The project publishes no address: the default is in the reserved .invalid
# domain, so it can never reach anyone by mistake; a distributor sets theirs.
# Build folders made before keep the earlier default, which lintian rejects
# (a host on localhost): it is replaced, a chosen address is kept.
if(MELVIR_MAINTAINER STREQUAL "MELVIR developers <melvir@localhost>")
  unset(MELVIR_MAINTAINER CACHE)
endif()
set(MELVIR_MAINTAINER "MELVIR developers <melvir@melvir.invalid>" CACHE STRING
    "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME melvir)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "copy recordings off the hard disk of a DVB-T video recorder")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MELVIR_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The extended description, shown under the summary line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "melvir finds the file system of a DVB-T personal video recorder on its hard
disk, attached to a PC, or on an image of that disk, lists the recordings and
copies them into MPEG-2 transport stream files. The disk is only ever read.
Extractions that are interrupted can be resumed.")
# The C and C++ runtime the program links against, as dpkg-shlibdeps finds it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The mount calls fusermount3 (fuse3) to mount as a user; libfuse3 itself is
# a dependency that dpkg-shlibdeps finds. ddrescue images a failing disk.
if(FUSE3_FOUND)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fuse3")
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gddrescue")

# Compressed manual pages, the copyright file and the changelog go into the
# package's staging folder only (CMake 3.19 runs pre-build scripts).
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_staging.cmake)
set(CPACK_MELVIR_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/packaging/debian)
set(CPACK_MELVIR_MANDIR ${CMAKE_INSTALL_MANDIR})
set(CPACK_MELVIR_BINDIR ${CMAKE_INSTALL_BINDIR})
set(CPACK_MELVIR_STRIP ${CMAKE_STRIP})

include(CPack)
