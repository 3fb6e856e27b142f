# Synthetic footage whose noise is made the way cameras, film and codecs make it, with its
# clean frames: the input of `ruvovav demo`, and the footage of the analysis tests and of the
# benchmarks that must all see exactly the same pictures.
add_library(ruvovav_footage STATIC
  footage/camera_clip.cpp
  footage/camera_pipeline.cpp
  footage/clip_codec.cpp
  footage/film_grain.cpp
  footage/scene.cpp
  footage/scene_layout.cpp)
target_include_directories(ruvovav_footage PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ruvovav_footage PUBLIC ruvovav_media)

if(RUVOVAV_TESTS)
  add_executable(camera_clip_test tests/camera_clip_test.cpp)
  target_link_libraries(camera_clip_test PRIVATE ruvovav_footage ruvovav_cli GTest::gtest_main)
  gtest_discover_tests(camera_clip_test DISCOVERY_TIMEOUT 60)
endif()

# Writes a clip's clean and noisy frames to files, for benchmarks outside C++.
if(RUVOVAV_BENCHMARKS)
  find_package(CLI11 CONFIG REQUIRED)
  add_executable(make_camera_clip bench/make_camera_clip.cpp)
  target_link_libraries(make_camera_clip PRIVATE ruvovav_footage ruvovav_cli CLI11::CLI11)
endif()
