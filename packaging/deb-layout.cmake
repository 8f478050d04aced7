# CPack runs this on the .deb's staging tree, after the install and before the
# package is made: Debian wants the manual pages and the changelog compressed
# (gzip -9n: no name or time stamp, so the same input gives the same bytes),
# while `cmake --install` keeps the plain pages for everyone else.

set(root ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})

function(gzip_to input output)
  execute_process(COMMAND gzip -9n -c ${input} OUTPUT_FILE ${output} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip -9n ${input}: ${failed}")
  endif()
endfunction()

file(GLOB pages ${root}/${CPACK_MAPGRAFT_MANDIR}/man1/*.1)
foreach(page IN LISTS pages)
  gzip_to(${page} ${page}.gz)
  file(REMOVE ${page})
endforeach()

# A version without its entry would ship a changelog that does not describe it.
file(READ ${CPACK_MAPGRAFT_CHANGELOG} head LIMIT 100)
string(REGEX MATCH "^mapgraft \\(([^)]*)\\)" head "${head}")
if(NOT CMAKE_MATCH_1 STREQUAL CPACK_PACKAGE_VERSION)
  message(FATAL_ERROR "${CPACK_MAPGRAFT_CHANGELOG}: the first entry is for version '${CMAKE_MATCH_1}', "
    "not for ${CPACK_PACKAGE_VERSION}")
endif()
gzip_to(${CPACK_MAPGRAFT_CHANGELOG} ${root}/${CPACK_MAPGRAFT_DOCDIR}/changelog.gz)
