# Installation of the page, included by packaging.cmake before CPack. The
# site is what the web preset builds (build-web/site); packaging/build-packages
# builds it and names it in MAPGRAFT_WEB_SITE. Component:
#   web   the site: on Windows the archive's web/ folder; on Debian the
#         mapgraft-web package, /usr/share/mapgraft/web/, with a README
# docs/web.md and its pictures go with the other documents either way, since
# the README links them.

install(FILES docs/web.md docs/web.png docs/web-phone.png DESTINATION ${MAPGRAFT_DOC_DIR}/docs COMPONENT docs)

set(MAPGRAFT_WEB_SITE "" CACHE PATH "The page's site (build-web/site) for the packages to carry; empty leaves it out")
if(NOT MAPGRAFT_WEB_SITE)
  return()
endif()
if(NOT EXISTS ${MAPGRAFT_WEB_SITE}/index.html OR NOT EXISTS ${MAPGRAFT_WEB_SITE}/mapgraft.js)
  message(FATAL_ERROR "MAPGRAFT_WEB_SITE: ${MAPGRAFT_WEB_SITE} holds no built page "
    "(cmake --preset web && cmake --build --preset web)")
endif()

if(WIN32)
  install(DIRECTORY ${MAPGRAFT_WEB_SITE}/ DESTINATION web COMPONENT web)
  list(APPEND CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};mapgraft;web;/")
  return()
endif()

install(DIRECTORY ${MAPGRAFT_WEB_SITE}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/mapgraft/web COMPONENT web)
install(FILES packaging/mapgraft-web.README DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mapgraft-web RENAME README
        COMPONENT web)
set(CPACK_DEBIAN_WEB_PACKAGE_NAME mapgraft-web)
set(CPACK_DEBIAN_WEB_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_WEB_PACKAGE_SECTION web)
set(CPACK_DEBIAN_WEB_DESCRIPTION "open and edit tarvex map files in a web browser
The mapgraft page opens tarvex map files (.lvl) in a web browser, shows
what they hold, and changes their attributes, chunks and tileset, with
undo; the maps it downloads hold the same bytes as mapgraft-edit writes.
It is libmapgraft compiled to WebAssembly, opened from disk: no map
leaves the computer.

Licence: MIT.")
