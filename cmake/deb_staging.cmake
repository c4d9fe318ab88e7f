# Run by cpack (CPACK_PRE_BUILD_SCRIPTS) on its staging folder, after the
# install rules and before the archive is made: what Debian policy asks of a
# package beyond what `cmake --install` puts into a prefix. Other generators
# get the install rules unchanged.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(stage "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${stage}/share/doc/${CPACK_PACKAGE_NAME}")
set(readable OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# gzip -9n: no name or time stamp in the header, so that the same sources
# make the same package.
function(compress file)
  execute_process(COMMAND gzip -9nf "${file}" RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip -9n ${file}: ${error}")
  endif()
endfunction()

# Manual pages are installed compressed.
file(GLOB pages "${stage}/${CPACK_MELVIR_MANDIR}/man*/*")
foreach(page IN LISTS pages)
  if(NOT page MATCHES "\\.gz$")
    compress("${page}")
  endif()
endforeach()

# cpack has stripped the programs; like dh_strip, the compiler's .comment
# and .note sections go as well.
file(GLOB programs "${stage}/${CPACK_MELVIR_BINDIR}/*")
foreach(program IN LISTS programs)
  execute_process(COMMAND "${CPACK_MELVIR_STRIP}" --remove-section=.comment --remove-section=.note
                          "${program}" RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "strip ${program}: ${error}")
  endif()
endforeach()

# The copyright file, and the changelog whose first entry must be this
# version: a release without its entry is not packaged.
set(source "${CPACK_MELVIR_DEBIAN_DIR}")
file(STRINGS "${source}/changelog" first LIMIT_COUNT 1)
set(wanted "${CPACK_PACKAGE_NAME} (${CPACK_PACKAGE_VERSION})")
string(FIND "${first}" "${wanted} " at)
if(NOT at EQUAL 0)
  message(FATAL_ERROR "the first entry of ${source}/changelog is not for "
                      "${wanted}: add one for this version")
endif()
# file(COPY), not file(INSTALL): cpack's DESTDIR is still set here.
file(COPY "${source}/copyright" "${source}/changelog" DESTINATION "${doc}"
     FILE_PERMISSIONS ${readable})
compress("${doc}/changelog")
