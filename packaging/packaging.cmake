# Installation and packages: a .deb for Debian and its derivatives, a .zip for
# Windows. Included by the top-level CMakeLists.txt once every program target
# exists. packaging/build-packages builds both packages in one go.
#
# Installed files come in three components, so that the Windows zip can take
# the programs of two builds (64-bit and 32-bit) and the documents of one:
#   programs  mapgraft, mapgraft-inspect, mapgraft-edit
#   manual    their manual pages, and their bash completion (on Windows: the
#             pages as HTML)
#   docs      README.md, the pages it links in docs/, and LICENSE

include(GNUInstallDirs)

set(MAPGRAFT_PROGRAMS mapgraft)
foreach(program mapgraft-inspect mapgraft-edit)
  if(TARGET ${program})
    list(APPEND MAPGRAFT_PROGRAMS ${program})
  endif()
endforeach()

if(WIN32)
  # A Windows archive is unpacked anywhere and run from there: no bin/ or
  # share/ folders, the programs and their documents side by side.
  set(MAPGRAFT_PROGRAM_DIR .)
  set(MAPGRAFT_DOC_DIR .)
else()
  set(MAPGRAFT_PROGRAM_DIR ${CMAKE_INSTALL_BINDIR})
  set(MAPGRAFT_DOC_DIR ${CMAKE_INSTALL_DOCDIR})
endif()

install(TARGETS ${MAPGRAFT_PROGRAMS} RUNTIME DESTINATION ${MAPGRAFT_PROGRAM_DIR} COMPONENT programs)
install(FILES README.md LICENSE DESTINATION ${MAPGRAFT_DOC_DIR} COMPONENT docs)
# The README shows the picture and links the pages.
install(FILES docs/default-tileset.png docs/usage.md docs/bad-input.md docs/windows.md docs/performance.md
              docs/design.md docs/testing.md
        DESTINATION ${MAPGRAFT_DOC_DIR}/docs COMPONENT docs)
if(WIN32)
  # mandoc (Debian: apt-get install mandoc) is needed for the archive only: the
  # programs build without it.
  find_program(MAPGRAFT_MANDOC mandoc)
  if(MAPGRAFT_MANDOC)
    set(mapgraft_html_pages)
    foreach(program IN LISTS MAPGRAFT_PROGRAMS)
      set(html ${PROJECT_BINARY_DIR}/manual/${program}.html)
      add_custom_command(OUTPUT ${html}
        COMMAND ${CMAKE_COMMAND} -DMANDOC=${MAPGRAFT_MANDOC} -DPAGE=${PROJECT_SOURCE_DIR}/man/${program}.1
                -DHTML=${html} -P ${PROJECT_SOURCE_DIR}/packaging/manual-html.cmake
        DEPENDS man/${program}.1 packaging/manual-html.cmake VERBATIM)
      list(APPEND mapgraft_html_pages ${html})
    endforeach()
    add_custom_target(manual_html ALL DEPENDS ${mapgraft_html_pages})
    install(FILES ${mapgraft_html_pages} DESTINATION manual COMPONENT manual)
  else()
    message(STATUS "mandoc not found: the package leaves out the manual pages as HTML")
  endif()
else()
  foreach(program IN LISTS MAPGRAFT_PROGRAMS)
    install(FILES man/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT manual)
    # One script completes all three; bash loads it by the program's name.
    install(FILES completion/mapgraft.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
            RENAME ${program} COMPONENT manual)
  endforeach()
  # Debian looks for the licence of a package in /usr/share/doc/<package>/copyright.
  file(READ LICENSE mapgraft_licence)
  string(REGEX REPLACE "\n+$" "" mapgraft_licence "${mapgraft_licence}")
  string(REPLACE "\n\n" "\n.\n" mapgraft_licence "${mapgraft_licence}")
  string(REPLACE "\n" "\n " mapgraft_licence "${mapgraft_licence}")
  file(WRITE ${PROJECT_BINARY_DIR}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: mapgraft\n\n"
    "Files: *\nCopyright: 2026 the mapgraft authors\nLicense: MIT\n\n"
    "License: MIT\n ${mapgraft_licence}\n")
  install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${MAPGRAFT_DOC_DIR} COMPONENT docs)
endif()

set(CPACK_PACKAGE_NAME mapgraft)
set(CPACK_PACKAGE_VENDOR "the mapgraft authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "add typed chunks of data to tarvex map files")
# One line of Debian's long description each; an empty one starts a paragraph.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "mapgraft adds the bytes of any file to a tarvex map file (.lvl) as a"
  "typed chunk, for example an ATTR text, inside the map's elvl metadata"
  "block, and rewrites the map in place: the map is either rewritten whole"
  "or left as it was. A map without a tileset is given a default one."
  ""
  "mapgraft-inspect lists what a map holds and extracts a chunk's data,"
  "without changing the map.")
if(TARGET mapgraft-edit)
  string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}"
    ""
    "mapgraft-edit removes, replaces and sets chunks and swaps the tileset,"
    "on many maps in one run, each replaced as atomically.")
endif()
string(APPEND CPACK_PACKAGE_DESCRIPTION "\n\nLicence: MIT.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(mapgraft_windows win64)
  else()
    set(mapgraft_windows win32)
  endif()
  # On its own a Windows build packs its own programs; build-packages names the
  # 64-bit and 32-bit builds together in CPACK_INSTALL_CMAKE_PROJECTS instead.
  set(CPACK_PACKAGE_FILE_NAME mapgraft-${PROJECT_VERSION}-windows)
  set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};mapgraft;programs;/${mapgraft_windows}"
    "${PROJECT_BINARY_DIR};mapgraft;docs;/"
    "${PROJECT_BINARY_DIR};mapgraft;manual;/")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the mapgraft authors <maintainers@mapgraft.invalid>")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Computed from the programs' shared libraries by dpkg-shlibdeps (dpkg-dev).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Compressed manual pages and a changelog, in the package only.
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/deb-layout.cmake)
  set(CPACK_MAPGRAFT_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/changelog)
  set(CPACK_MAPGRAFT_MANDIR ${CMAKE_INSTALL_MANDIR})
  set(CPACK_MAPGRAFT_DOCDIR ${CMAKE_INSTALL_DOCDIR})
endif()

include(CPack)
