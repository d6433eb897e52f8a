# The shipped programs for the GUI tests: the release ZIP, made as far as it is not yet
# (scripts/make-release.sh builds the win32 preset's programs), unpacked into DESTINATION; and
# the win32 build's x87 probe beside the win32 build.
execute_process(COMMAND bash scripts/make-release.sh WORKING_DIRECTORY ${SOURCE} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the release ZIP could not be made")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build --preset win32 --target pv_fpu_probe WORKING_DIRECTORY ${SOURCE}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the win32 build's pv_fpu_probe could not be built")
endif()
file(REMOVE_RECURSE ${DESTINATION})
file(ARCHIVE_EXTRACT INPUT ${ZIP} DESTINATION ${DESTINATION})
