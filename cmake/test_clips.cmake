# Synthetic clips with camera-like and film-like noise and their clean frames, for the tests
# of the automatic analysis and for benchmarks that must see exactly the same footage.
add_library(ruvovav_test_clips STATIC
  tests/support/camera_clip.cpp
  tests/support/camera_pipeline.cpp
  tests/support/clip_codec.cpp
  tests/support/film_grain.cpp
  tests/support/scene.cpp
  tests/support/scene_layout.cpp)
target_include_directories(ruvovav_test_clips PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ruvovav_test_clips PUBLIC ruvovav_media)

if(RUVOVAV_TESTS)
  add_executable(camera_clip_test tests/camera_clip_test.cpp)
  target_link_libraries(camera_clip_test PRIVATE ruvovav_test_clips GTest::gtest_main)
  gtest_discover_tests(camera_clip_test DISCOVERY_TIMEOUT 60)
endif()

# Writes a clip's clean and noisy frames to files, for benchmarks outside C++.
if(RUVOVAV_BENCHMARKS)
  find_package(CLI11 CONFIG REQUIRED)
  add_executable(make_camera_clip bench/make_camera_clip.cpp)
  target_link_libraries(make_camera_clip PRIVATE ruvovav_test_clips CLI11::CLI11)
endif()
