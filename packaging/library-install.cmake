# Installation of libmapgraft, included by packaging.cmake. Two components:
#   library      the shared library that programs load (libmapgraft.so.0 and
#                its versioned file; on Windows the DLL)
#   development  what building against it takes: the header, the static
#                library, the libmapgraft.so link (on Windows the import
#                library), mapgraft.pc, the CMake package and mapgraft(3)

include(CMakePackageConfigHelpers)

set(mapgraft_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/mapgraft)

set_target_properties(mapgraft_shared PROPERTIES EXPORT_NAME mapgraft)
install(TARGETS mapgraft_shared EXPORT mapgraft-targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT development
  RUNTIME DESTINATION ${MAPGRAFT_PROGRAM_DIR} COMPONENT library
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# mapgraft::mapgraft_static, with MG_STATIC defined for its users.
install(TARGETS mapgraft_static EXPORT mapgraft-targets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/mapgraft.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
if(NOT WIN32)
  install(FILES man/mapgraft.3 DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT development)
endif()

install(EXPORT mapgraft-targets NAMESPACE mapgraft:: DESTINATION ${mapgraft_cmake_dir} COMPONENT development)
configure_package_config_file(cmake/mapgraft-config.cmake.in ${PROJECT_BINARY_DIR}/mapgraft-config.cmake
  INSTALL_DESTINATION ${mapgraft_cmake_dir})
# The major version is the SONAME's: a program built against 0.x runs with
# any later 0.y.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/mapgraft-config-version.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/mapgraft-config.cmake ${PROJECT_BINARY_DIR}/mapgraft-config-version.cmake
  DESTINATION ${mapgraft_cmake_dir} COMPONENT development)

# A C program that links the static library also needs what the C++ compiler
# links on its own and the C compiler does not: on Linux -lstdc++ -lm.
enable_language(C)
set(mapgraft_private_libs ${CMAKE_CXX_IMPLICIT_LINK_LIBRARIES})
list(REMOVE_ITEM mapgraft_private_libs ${CMAKE_C_IMPLICIT_LINK_LIBRARIES})
list(REMOVE_DUPLICATES mapgraft_private_libs)
list(TRANSFORM mapgraft_private_libs PREPEND -l)
list(JOIN mapgraft_private_libs " " MAPGRAFT_PC_LIBS_PRIVATE)
# The same for a C project that links mapgraft::mapgraft_static, which CMake
# links with the C compiler unless the project enables C++.
target_link_libraries(mapgraft_static INTERFACE $<INSTALL_INTERFACE:${mapgraft_private_libs}>)

# The prefix is the one installed to, which `cmake --install --prefix` and
# CPack choose after configuring: the file is written at install time. The
# Windows zip is unpacked anywhere: there it is the folder two up from the file.
if(WIN32)
  set(MAPGRAFT_PC_PREFIX "\${pcfiledir}/../..")
else()
  set(MAPGRAFT_PC_PREFIX @MAPGRAFT_PC_PREFIX@)
endif()
configure_file(cmake/mapgraft.pc.in ${PROJECT_BINARY_DIR}/mapgraft.pc.in @ONLY)
install(CODE "
  set(MAPGRAFT_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
  configure_file(\"${PROJECT_BINARY_DIR}/mapgraft.pc.in\" \"${PROJECT_BINARY_DIR}/mapgraft.pc\" @ONLY)"
  COMPONENT development)
install(FILES ${PROJECT_BINARY_DIR}/mapgraft.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
