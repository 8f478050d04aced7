# CPack runs this on the finished .debs. CPack gives a package with a shared
# library a postinst and postrm that run ldconfig; Debian runs it through the
# package's ldconfig trigger instead, and lintian warns about the scripts.
# They are taken out of the libmapgraft package, which holds nothing else.

foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${deb} NAME)
  if(NOT name MATCHES "^${CPACK_DEBIAN_LIBRARY_PACKAGE_NAME}_.*\\.deb$")
    continue()
  endif()
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-deb --raw-extract ${deb}: ${failed}")
  endif()
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${deb} OUTPUT_QUIET RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "dpkg-deb --build ${tree}: ${failed}")
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
