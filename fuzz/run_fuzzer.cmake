# Runs one fuzz target for SECONDS seconds on CORPUS (seeded from SEEDS),
# writing what it finds to FINDINGS; fails when it found anything.
file(MAKE_DIRECTORY ${CORPUS} ${FINDINGS})
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -timeout=90 -report_slow_units=60 -rss_limit_mb=4096
          -print_final_stats=1 -artifact_prefix=${FINDINGS}/ ${CORPUS} ${SEEDS}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} found a fault (exit ${result}); the input is in ${FINDINGS}")
endif()
