# The `ruvovav` tool. Its pieces form a library so that tests drive them without a process.
find_package(CLI11 CONFIG REQUIRED)
find_package(nlohmann_json CONFIG REQUIRED)

add_library(ruvovav_cli STATIC
  cli/analysis_runner.cpp
  cli/analyze_command.cpp
  cli/candidate_overlay.cpp
  cli/command_line.cpp
  cli/demo_command.cpp
  cli/denoise_command.cpp
  cli/effect_session.cpp
  cli/effect_settings.cpp
  cli/encode_queue.cpp
  cli/frame_cache.cpp
  cli/frame_decoder.cpp
  cli/host_frames.cpp
  cli/info_command.cpp
  cli/interrupt.cpp
  cli/job_setup.cpp
  cli/label_text.cpp
  cli/metrics.cpp
  cli/output_safety.cpp
  cli/profile.cpp
  cli/preview_command.cpp
  cli/progress.cpp
  cli/reference_metrics.cpp
  cli/split_view.cpp
  cli/value_parsers.cpp)
target_include_directories(ruvovav_cli PUBLIC ${PROJECT_SOURCE_DIR})
find_package(Threads REQUIRED)
target_link_libraries(ruvovav_cli PUBLIC kestrel_host ruvovav_media ruvovav_auto_analysis
                      ruvovav_footage CLI11::CLI11 nlohmann_json::nlohmann_json Threads::Threads)

add_executable(ruvovav cli/main.cpp)
target_link_libraries(ruvovav PRIVATE ruvovav_cli)
set_target_properties(ruvovav PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
add_dependencies(ruvovav Ruvovav)
