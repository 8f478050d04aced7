# Turns one manual page into HTML for the Windows archive, where man(1) is
# not at hand: cmake -DMANDOC=... -DPAGE=<page.1> -DHTML=<page.html> -P manual-html.cmake
get_filename_component(folder ${HTML} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(COMMAND ${MANDOC} -T html ${PAGE} OUTPUT_FILE ${HTML} RESULT_VARIABLE failed)
if(failed)
  file(REMOVE ${HTML})
  message(FATAL_ERROR "mandoc -T html ${PAGE}: ${failed}")
endif()
