# The Debian package: cpack -G DEB in the build folder makes
# melvir_<version>_<arch>.deb from the install rules.
set(MELVIR_MAINTAINER "MELVIR developers <melvir@localhost>" CACHE STRING
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
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gddrescue")

include(CPack)
