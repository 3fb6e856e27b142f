# The effect inside other programs. editor_core holds what every editor adapter shares (the
# private GL thread, the session on it, the frame windows); frei0r/ is the adapter FFmpeg,
# MLT (Kdenlive, Shotcut) and GStreamer load (GStreamer's native element: gstreamer.cmake).
find_package(Threads REQUIRED)
add_library(ruvovav_editor_core STATIC
  editor_core/centred_effect.cpp
  editor_core/centred_window.cpp
  editor_core/editor_effect.cpp
  editor_core/frame_analysis.cpp
  editor_core/frame_clock.cpp
  editor_core/gl_session.cpp
  editor_core/gl_thread.cpp
  editor_core/lookback_window.cpp
  editor_core/module_location.cpp
  editor_core/notices.cpp
  editor_core/rgba16_frames.cpp
  editor_core/rgba8_frames.cpp
  editor_core/session_settings.cpp
  editor_core/split_stream_watch.cpp)
target_include_directories(ruvovav_editor_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ruvovav_editor_core PUBLIC ruvovav_cli Threads::Threads ${CMAKE_DL_LIBS})

find_path(FREI0R_INCLUDE_DIR frei0r.h REQUIRED)
add_library(ruvovav_frei0r_objects OBJECT frei0r/frei0r_parameters.cpp frei0r/frei0r_plugin.cpp)
target_include_directories(ruvovav_frei0r_objects PUBLIC ${PROJECT_SOURCE_DIR} ${FREI0R_INCLUDE_DIR})
target_link_libraries(ruvovav_frei0r_objects PUBLIC ruvovav_editor_core)

# An editor's plug-in made from `objects`: a module in `dir` of the build folder, with the
# module beside it as an installed copy has it. Only the entry points `exports` names are
# exported, and only the libraries the code uses are loaded (the tool's library brings the
# media libraries along, which a plug-in never calls).
function(ruvovav_editor_plugin target objects dir exports)
  add_library(${target} MODULE $<TARGET_OBJECTS:${objects}>)
  set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${dir})
  target_link_libraries(${target} PRIVATE ruvovav_editor_core)
  target_link_options(${target} PRIVATE
    "LINKER:--version-script=${exports}" "LINKER:--no-undefined" "LINKER:--as-needed")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${exports})
  add_dependencies(${target} Ruvovav)
  file(MAKE_DIRECTORY ${dir})
  file(CREATE_LINK ../Ruvovav.kspl ${dir}/Ruvovav.kspl SYMBOLIC)
endfunction()

# frei0r-1/ruvovav.so.
set(ruvovav_frei0r_dir ${PROJECT_BINARY_DIR}/frei0r-1)
ruvovav_editor_plugin(ruvovav_frei0r ruvovav_frei0r_objects ${ruvovav_frei0r_dir}
  ${PROJECT_SOURCE_DIR}/frei0r/exports.map)
set_target_properties(ruvovav_frei0r PROPERTIES PREFIX "" OUTPUT_NAME "ruvovav")

# Where FFmpeg, MLT and GStreamer look by default (with the prefix /usr or /usr/local), the
# module beside the plug-in, and Kdenlive's panel where Kdenlive reads effect descriptions.
install(TARGETS ruvovav_frei0r Ruvovav LIBRARY DESTINATION lib/frei0r-1)
install(FILES frei0r/frei0r_ruvovav.xml DESTINATION share/kdenlive/effects)

if(RUVOVAV_TESTS)
  # The adapters' pieces without GL: the clock, the windows, the GL thread's queue, the
  # settings, the module's location and the 8- and 16-bit frames.
  add_executable(editor_core_test
    tests/editor_frames_test.cpp
    tests/editor_session_test.cpp
    tests/editor_windows_test.cpp
    tests/frei0r_parameters_test.cpp)
  target_link_libraries(editor_core_test PRIVATE ruvovav_frei0r_objects GTest::gtest_main)
  gtest_discover_tests(editor_core_test DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)

  # The plug-in's entry points in this process on a real context, against the tool's own
  # session, analysis and conversions.
  add_executable(frei0r_plugin_test tests/frei0r_plugin_test.cpp)
  target_link_libraries(frei0r_plugin_test PRIVATE ruvovav_frei0r_objects GTest::gtest_main)
  target_include_directories(frei0r_plugin_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(frei0r_plugin_test PRIVATE
    RUVOVAV_MODULE_PATH="$<TARGET_FILE:Ruvovav>"
    RUVOVAV_KDENLIVE_XML="${PROJECT_SOURCE_DIR}/frei0r/frei0r_ruvovav.xml")
  add_dependencies(frei0r_plugin_test Ruvovav)
  gtest_discover_tests(frei0r_plugin_test DISCOVERY_TIMEOUT 60)
endif()

# FFmpeg, melt and gst-launch-1.0 loading the built plug-in. Not in sanitizer builds: an
# instrumented plug-in cannot be loaded into programs built without the sanitizer runtime
# (the in-process test above runs the same code under the sanitizers).
if(RUVOVAV_TESTS AND ruvovav_sanitize MATCHES "^(off|0|false|no|)$")
  add_executable(frei0r_hosts_test tests/frei0r_hosts_test.cpp)
  target_link_libraries(frei0r_hosts_test PRIVATE GTest::gtest_main)
  target_include_directories(frei0r_hosts_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(frei0r_hosts_test PRIVATE
    RUVOVAV_TOOL_PATH="$<TARGET_FILE:ruvovav>"
    RUVOVAV_FREI0R_DIR="$<TARGET_FILE_DIR:ruvovav_frei0r>")
  add_dependencies(frei0r_hosts_test ruvovav ruvovav_frei0r)
  gtest_discover_tests(frei0r_hosts_test DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endif()
