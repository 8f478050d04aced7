# Installation and packages: a .deb for Debian and its derivatives, a .zip for
# Windows. Included by the top-level CMakeLists.txt once every program target
# exists. packaging/build-packages builds both packages in one go.
#
# Installed files come in components, so that the Windows zip can take the
# programs of two builds (64-bit and 32-bit) and the documents of one, and so
# that the .deb splits into packages (mapgraft, libmapgraft0,
# libmapgraft-dev, python3-mapgraft; mapgraft-web comes from web-install.cmake):
#   programs     mapgraft, mapgraft-inspect, mapgraft-edit
#   manual       their manual pages, and their bash completion (on Windows: the
#                pages as HTML)
#   docs         README.md, the pages it links in docs/, and LICENSE
#   library      libmapgraft's shared library (library-install.cmake)
#   development  its header, static library, pkg-config file, CMake package
#                and manual page
#   python       the Python module over the shared library (python/), in a
#                .deb of its own, python3-mapgraft

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
              docs/design.md docs/testing.md docs/durability.md docs/read-back.md docs/python.md
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
if(TARGET mapgraft_shared)
  include(packaging/library-install.cmake)
endif()

set(CPACK_PACKAGE_NAME mapgraft)
set(CPACK_PACKAGE_VENDOR "the mapgraft authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description: the first line is Debian's summary, then one
# line of the long description each; an empty one starts a paragraph.
string(JOIN "\n" mapgraft_programs_description
  "add typed chunks of data to tarvex map files"
  "mapgraft adds the bytes of any file to a tarvex map file (.lvl) as a"
  "typed chunk, for example an ATTR text, inside the map's elvl metadata"
  "block, and rewrites the map in place: the map is either rewritten whole"
  "or left as it was. A map without a tileset is given a default one."
  ""
  "mapgraft-inspect lists what a map holds and extracts a chunk's data,"
  "without changing the map.")
if(TARGET mapgraft-edit)
  string(JOIN "\n" mapgraft_programs_description "${mapgraft_programs_description}"
    ""
    "mapgraft-edit removes, replaces and sets chunks and swaps the tileset,"
    "on many maps in one run, each replaced as atomically.")
endif()
string(APPEND mapgraft_programs_description "\n\nLicence: MIT.")
string(JOIN "\n" mapgraft_library_about
  "libmapgraft reads tarvex map files (.lvl) in all three shapes, adds,"
  "removes and replaces the typed chunks of their elvl metadata block and"
  "their tileset, and writes them as the mapgraft programs do: a file is"
  "replaced through a temporary file beside it, read back before it takes"
  "the map's place.")
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
    "${PROJECT_BINARY_DIR};mapgraft;library;/${mapgraft_windows}"
    "${PROJECT_BINARY_DIR};mapgraft;development;/${mapgraft_windows}"
    "${PROJECT_BINARY_DIR};mapgraft;docs;/"
    "${PROJECT_BINARY_DIR};mapgraft;manual;/")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the mapgraft authors <maintainers@mapgraft.invalid>")
  set(CPACK_DEBIAN_PACKAGE_SOURCE mapgraft)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Computed from the shared libraries each package's files use, by
  # dpkg-shlibdeps (dpkg-dev).
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # And the shlibs file of the library's package, for those built against it.
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  # One package for the programs, their pages and documents; one for each
  # other component.
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  foreach(component PROGRAMS MANUAL DOCS)
    set(CPACK_COMPONENT_${component}_GROUP mapgraft)
  endforeach()
  set(CPACK_DEBIAN_MAPGRAFT_PACKAGE_NAME mapgraft)
  set(CPACK_DEBIAN_MAPGRAFT_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_MAPGRAFT_DESCRIPTION "${mapgraft_programs_description}")
  set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libmapgraft${PROJECT_VERSION_MAJOR})
  set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "read, change and safely rewrite tarvex map files
${mapgraft_library_about}

Licence: MIT.")
  # The symbols each version of the library exports, for the packages built
  # against it, and the ldconfig trigger.
  set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/libmapgraft${PROJECT_VERSION_MAJOR}/symbols
    ${PROJECT_SOURCE_DIR}/packaging/libmapgraft${PROJECT_VERSION_MAJOR}/triggers)
  set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libmapgraft-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libmapgraft${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "read, change and safely rewrite tarvex map files: development files
${mapgraft_library_about}

This package holds what building against libmapgraft takes: the header,
the static library, the pkg-config file, the CMake package and the manual
page mapgraft(3).

Licence: MIT.")
  # The Python module: pure Python, for every architecture, over the
  # library's own package.
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-mapgraft)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "libmapgraft${PROJECT_VERSION_MAJOR} (>= ${PROJECT_VERSION}), python3:any")
  set(CPACK_DEBIAN_PYTHON_DESCRIPTION "read, change and safely rewrite tarvex map files: Python module
${mapgraft_library_about}

This package holds the Python 3 module mapgraft, which calls libmapgraft
through ctypes: mapgraft.open(path) gives a map whose chunks, attributes
and tileset a script reads and changes, then saves as the programs do.

Licence: MIT.")

  # Compressed manual pages, a changelog and a copyright file in each
  # package, and no maintainer script that runs ldconfig itself.
  set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/deb-layout.cmake)
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/deb-ldconfig-trigger.cmake)
  set(CPACK_MAPGRAFT_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/changelog)
  set(CPACK_MAPGRAFT_COPYRIGHT ${PROJECT_BINARY_DIR}/copyright)
  set(CPACK_MAPGRAFT_MANDIR ${CMAKE_INSTALL_MANDIR})
endif()

include(packaging/web-install.cmake)

include(CPack)
