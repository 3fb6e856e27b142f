# Integration tests load the built module by path, exactly as the editor would.
function(ruvovav_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE kestrel_host GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    RUVOVAV_MODULE_PATH="$<TARGET_FILE:Ruvovav>")
  add_dependencies(${name} Ruvovav)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

ruvovav_test(plugin_entry_test tests/descriptor_test.cpp tests/notify_test.cpp)
ruvovav_test(parameter_panel_test tests/parameter_panel_test.cpp)
ruvovav_test(host_loader_test tests/host_loader_test.cpp)
ruvovav_test(gl_host_test tests/gl_host_test.cpp)
ruvovav_test(gpu_setup_test tests/gpu_setup_test.cpp)
ruvovav_test(parameter_changed_test tests/parameter_changed_test.cpp)
ruvovav_test(render_test tests/render_test.cpp)
ruvovav_test(render_picture_test tests/render_picture_test.cpp)
ruvovav_test(render_load_test tests/render_load_test.cpp)
ruvovav_test(host_callbacks_test tests/host_callbacks_test.cpp)

# Unit tests of the plug-in's own pieces, linked directly.
add_executable(plugin_unit_test
  tests/text_format_test.cpp
  tests/effect_data_test.cpp
  tests/shader_log_test.cpp
  tests/wavelet_programs_test.cpp
  tests/glsl_strict.cpp
  tests/program_table_test.cpp
  tests/frame_window_test.cpp
  tests/gl_test_context.cpp)
target_link_libraries(plugin_unit_test PRIVATE ruvovav_plugin_objects kestrel_host GTest::gtest_main)
gtest_discover_tests(plugin_unit_test DISCOVERY_TIMEOUT 60)

add_test(NAME module_exports_only_entry_points
  COMMAND ${CMAKE_COMMAND} -DMODULE=$<TARGET_FILE:Ruvovav>
          -P ${PROJECT_SOURCE_DIR}/tests/check_exports.cmake)

# The plug-in's passes, linked directly and driven on a real context of our host.
add_executable(plugin_gl_test
  tests/plugin_gl_fixture.cpp
  tests/colour_conversion_test.cpp
  tests/frame_alignment_test.cpp
  tests/frequency_pyramid_test.cpp
  tests/noise_analysis_test.cpp
  tests/noise_removal_test.cpp
  tests/standard_passes_test.cpp
  tests/wavelet_transform_test.cpp
  tests/temporal_transform_test.cpp)
target_link_libraries(plugin_gl_test PRIVATE ruvovav_plugin_objects kestrel_host GTest::gtest_main)
target_compile_definitions(plugin_gl_test PRIVATE RUVOVAV_MODULE_PATH="$<TARGET_FILE:Ruvovav>")
target_include_directories(plugin_gl_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
add_dependencies(plugin_gl_test Ruvovav)
gtest_discover_tests(plugin_gl_test DISCOVERY_TIMEOUT 60)

# The threshold settings, linked directly and driven through our host's parameter store.
add_executable(threshold_settings_test tests/threshold_settings_test.cpp)
target_link_libraries(threshold_settings_test PRIVATE
  ruvovav_plugin_objects kestrel_host GTest::gtest_main)
target_compile_definitions(threshold_settings_test PRIVATE
  RUVOVAV_MODULE_PATH="$<TARGET_FILE:Ruvovav>")
target_include_directories(threshold_settings_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
add_dependencies(threshold_settings_test Ruvovav)
gtest_discover_tests(threshold_settings_test DISCOVERY_TIMEOUT 60)

# Dense optical flow on the CPU, linked directly; no GL context needed.
add_executable(optical_flow_test tests/optical_flow_test.cpp)
target_link_libraries(optical_flow_test PRIVATE ruvovav_plugin_objects GTest::gtest_main)
gtest_discover_tests(optical_flow_test DISCOVERY_TIMEOUT 60 PROPERTIES LABELS flow)

# The dense flow split over worker threads, against the single-threaded computation.
find_package(Threads REQUIRED)
add_executable(flow_threads_test tests/flow_threads_test.cpp)
target_link_libraries(flow_threads_test PRIVATE
  ruvovav_plugin_objects GTest::gtest_main Threads::Threads)
gtest_discover_tests(flow_threads_test DISCOVERY_TIMEOUT 60 PROPERTIES LABELS flow)

# The command-line tool's pieces, linked directly; the jobs drive the loaded module.
function(ruvovav_cli_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE ruvovav_cli GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    RUVOVAV_MODULE_PATH="$<TARGET_FILE:Ruvovav>"
    RUVOVAV_TOOL_PATH="$<TARGET_FILE:ruvovav>")
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_dependencies(${name} Ruvovav ruvovav)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()

ruvovav_cli_test(cli_settings_test tests/cli_settings_test.cpp)
ruvovav_cli_test(auto_analysis_test tests/auto_analysis_test.cpp)
ruvovav_cli_test(cli_jobs_test tests/cli_jobs_test.cpp)
ruvovav_cli_test(metrics_test tests/metrics_test.cpp)

# The encoder's thread, without media or GL, so the thread sanitizer can run it.
add_executable(encode_queue_test tests/encode_queue_test.cpp cli/encode_queue.cpp)
target_include_directories(encode_queue_test PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(encode_queue_test PRIVATE GTest::gtest_main Threads::Threads)
gtest_discover_tests(encode_queue_test DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)

# The decoder's thread, on a reader without files, so the thread sanitizer can run it.
add_executable(frame_decoder_test tests/frame_decoder_test.cpp cli/frame_decoder.cpp
                                  cli/host_frames.cpp)
target_include_directories(frame_decoder_test PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(frame_decoder_test PRIVATE ruvovav_media GTest::gtest_main Threads::Threads)
gtest_discover_tests(frame_decoder_test DISCOVERY_TIMEOUT 60 PROPERTIES LABELS threads)

# The automatic analysis on camera-like, compressed and grainy footage, against the best box.
# LeakSanitizer's tracer can crash while it stops the encoder's and the GL driver's worker
# threads at exit, after the test has passed; the analysis code's leaks are checked by the
# other suites, so this one runs without the leak check.
add_executable(footage_analysis_test tests/footage_analysis_test.cpp)
target_link_libraries(footage_analysis_test PRIVATE ruvovav_cli ruvovav_footage
                      GTest::gtest_main)
target_compile_definitions(footage_analysis_test PRIVATE
  RUVOVAV_MODULE_PATH="$<TARGET_FILE:Ruvovav>")
add_dependencies(footage_analysis_test Ruvovav)
gtest_discover_tests(footage_analysis_test DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0")
