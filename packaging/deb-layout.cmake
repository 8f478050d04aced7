# CPack runs this on the .debs' staging trees, after the install and before
# the packages are made, one folder a package: Debian wants the manual pages
# and the changelog compressed (gzip -9n: no name or time stamp, so the same
# input gives the same bytes), and a copyright file and changelog in each
# package's /usr/share/doc/<package>, while `cmake --install` keeps the plain
# pages for everyone else.

function(gzip_to input output)
  execute_process(COMMAND gzip -9n -c ${input} OUTPUT_FILE ${output} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip -9n ${input}: ${failed}")
  endif()
endfunction()

# A version without its entry would ship a changelog that does not describe it.
file(READ ${CPACK_MAPGRAFT_CHANGELOG} head LIMIT 100)
string(REGEX MATCH "^mapgraft \\(([^)]*)\\)" head "${head}")
if(NOT CMAKE_MATCH_1 STREQUAL CPACK_PACKAGE_VERSION)
  message(FATAL_ERROR "${CPACK_MAPGRAFT_CHANGELOG}: the first entry is for version '${CMAKE_MATCH_1}', "
    "not for ${CPACK_PACKAGE_VERSION}")
endif()

file(GLOB trees LIST_DIRECTORIES true ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*)
foreach(tree IN LISTS trees)
  # The folder is named after the component or group; the package is named
  # by CPACK_DEBIAN_<NAME>_PACKAGE_NAME.
  get_filename_component(name ${tree} NAME)
  string(TOUPPER ${name} name)
  set(package ${CPACK_DEBIAN_${name}_PACKAGE_NAME})
  if(NOT package)
    message(FATAL_ERROR "${tree}: no CPACK_DEBIAN_${name}_PACKAGE_NAME")
  endif()
  set(root ${tree}${CPACK_PACKAGING_INSTALL_PREFIX})
  file(GLOB pages ${root}/${CPACK_MAPGRAFT_MANDIR}/man[1-8]/*.[1-8])
  foreach(page IN LISTS pages)
    gzip_to(${page} ${page}.gz)
    file(REMOVE ${page})
  endforeach()
  set(docs ${root}/share/doc/${package})
  file(MAKE_DIRECTORY ${docs})
  file(COPY ${CPACK_MAPGRAFT_COPYRIGHT} DESTINATION ${docs})
  gzip_to(${CPACK_MAPGRAFT_CHANGELOG} ${docs}/changelog.gz)
endforeach()
