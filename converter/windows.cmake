# gridfold.exe: Windows builds only.
if(NOT WIN32)
  return()
endif()

add_executable(gridfold WIN32
  ${CMAKE_CURRENT_SOURCE_DIR}/main_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/gridfold.rc)
# The resource script embeds the manifest.
set_property(SOURCE gridfold.rc APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win32/gui.manifest)
target_link_libraries(gridfold PRIVATE pv_converter_core pv_platform_win32 pv_file_system)
set_target_properties(gridfold PROPERTIES OUTPUT_NAME gridfold)
