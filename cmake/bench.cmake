# Benchmarks of the plug-in's passes on our host's GL context. CI builds them so that they
# keep compiling; they are run by hand (see docs/benchmarks.md).
find_package(benchmark REQUIRED)

add_executable(wavelet_bench bench/wavelet_bench.cpp bench/bench_main.cpp bench/bench_host.cpp)
target_link_libraries(wavelet_bench PRIVATE ruvovav_plugin_objects kestrel_host
                      benchmark::benchmark)
target_compile_definitions(wavelet_bench PRIVATE RUVOVAV_MODULE_PATH="$<TARGET_FILE:Ruvovav>")
add_dependencies(wavelet_bench Ruvovav)

# Whole frames rendered by the loaded module through our host, as the editor drives it.
add_executable(render_bench bench/render_bench.cpp bench/bench_main.cpp)
target_link_libraries(render_bench PRIVATE kestrel_host benchmark::benchmark)
target_compile_definitions(render_bench PRIVATE RUVOVAV_MODULE_PATH="$<TARGET_FILE:Ruvovav>")
add_dependencies(render_bench Ruvovav)

# Our CPU dense flow against OpenCV's Farneback flow. OpenCV is a yardstick linked by this
# program only; without it the comparison is skipped, not the configure.
find_package(OpenCV QUIET COMPONENTS core imgproc video)
if(OpenCV_FOUND)
  add_executable(flow_bench bench/flow_bench.cpp)
  target_link_libraries(flow_bench PRIVATE ruvovav_plugin_objects benchmark::benchmark
                        ${OpenCV_LIBS})
  target_include_directories(flow_bench SYSTEM PRIVATE ${OpenCV_INCLUDE_DIRS})
else()
  message(STATUS "OpenCV (core, imgproc, video) not found: flow_bench is not built")
endif()

# The automatic analysis against the best single box, on many generated camera-like clips.
add_executable(analysis_sweep bench/analysis_sweep.cpp)
target_link_libraries(analysis_sweep PRIVATE ruvovav_cli ruvovav_footage CLI11::CLI11)
target_compile_definitions(analysis_sweep PRIVATE RUVOVAV_MODULE_PATH="$<TARGET_FILE:Ruvovav>")
add_dependencies(analysis_sweep Ruvovav)
