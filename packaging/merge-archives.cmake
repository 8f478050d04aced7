# Runs GNU ar's MRI script SCRIPT (cmake -DAR=... -DSCRIPT=... -P), which
# makes one static library of several.
execute_process(COMMAND ${AR} -M INPUT_FILE ${SCRIPT} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${AR} -M <${SCRIPT}: ${failed}")
endif()
