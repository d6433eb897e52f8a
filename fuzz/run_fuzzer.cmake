# One fuzz target's run for CTest (fuzz/CMakeLists.txt): a fresh work corpus beside the committed
# seeds, a fixed budget (PV_FUZZ_SECONDS, default 45), the finding's input kept on a failure.
set(seconds 45)
if(DEFINED ENV{PV_FUZZ_SECONDS})
  set(seconds $ENV{PV_FUZZ_SECONDS})
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/corpus ${SEEDS})
execute_process(COMMAND ${FUZZER} ${WORK}/corpus ${SEEDS} -max_total_time=${seconds} -max_len=8192 -rss_limit_mb=4096
  -timeout=20 -artifact_prefix=${WORK}/ -print_final_stats=1 RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(GLOB findings ${WORK}/crash-* ${WORK}/leak-* ${WORK}/timeout-* ${WORK}/oom-*)
  file(COPY ${findings} DESTINATION ${FINDINGS})
  message(FATAL_ERROR "a finding (exit ${status}); its input is kept in ${FINDINGS}")
endif()
if("$ENV{PV_FUZZ_MERGE}" STREQUAL "1")
  execute_process(COMMAND ${FUZZER} -merge=1 ${SEEDS} ${WORK}/corpus -max_len=8192 OUTPUT_QUIET ERROR_QUIET)
endif()
