# Fails unless the library's dynamic symbols are dbmplay_ functions only.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE defined ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}: ${errors}")
endif()
string(REGEX MATCHALL "[^\n]+" symbols "${defined}")
list(FILTER symbols EXCLUDE REGEX " T dbmplay_[a-z_]+$")
if(symbols OR NOT defined MATCHES "dbmplay_render")
  message(FATAL_ERROR "${LIBRARY} exports other symbols than dbmplay_:\n${defined}")
endif()
