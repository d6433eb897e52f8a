# plotvane.exe and the programs its Wine test drives it with: Windows builds only.
if(NOT WIN32)
  return()
endif()

add_executable(plotvane WIN32
  ${CMAKE_CURRENT_SOURCE_DIR}/main_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/viewer_window_win32.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/plotvane.rc)
# The resource script embeds the manifest.
set_property(SOURCE plotvane.rc APPEND PROPERTY OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/platform/win32/gui.manifest)
target_link_libraries(plotvane PRIVATE pv_viewer_core pv_platform_win32 pv_file_system pv_polyline_batch)

# The probe that shows what the runtime's start-up leaves in the x87 control word. Built with every
# Windows configuration, so that whether the build's programs start under Wine needs nothing else.
add_executable(pv_fpu_probe ${CMAKE_SOURCE_DIR}/tests/wine/fpu_probe.cpp)

# The dialog's benchmark (bench/gui_bench.sh): opens and repaints plotvane.exe from outside, and draws
# the same operations with one GDI call each for scale.
add_executable(pv_gui_bench ${CMAKE_SOURCE_DIR}/bench/gui/gui_bench.cpp)
target_link_libraries(pv_gui_bench PRIVATE pv_viewer_core pv_file_system pv_canvas_list gdi32 user32)
