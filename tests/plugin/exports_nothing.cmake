# Fails when the plug-in file defines any dynamic symbol.
execute_process(COMMAND ${NM} -D --defined-only ${PLUGIN}
  OUTPUT_VARIABLE defined ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${PLUGIN}: ${errors}")
endif()
if(NOT defined STREQUAL "")
  message(FATAL_ERROR "${PLUGIN} exports symbols:\n${defined}")
endif()
