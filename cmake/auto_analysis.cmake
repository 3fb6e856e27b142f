# Automatic choice of analysis boxes for the command-line tool: plain CPU statistics on a
# luma image, no GL and no host, so it is tested on its own.
add_library(ruvovav_auto_analysis STATIC
  cli/analysis/integral_image.cpp
  cli/analysis/scale_pyramid.cpp
  cli/analysis/noise_estimate.cpp
  cli/analysis/tone_statistics.cpp
  cli/analysis/noise_profile.cpp
  cli/analysis/local_profiles.cpp
  cli/analysis/noise_levels.cpp
  cli/analysis/flat_regions.cpp
  cli/analysis/box_candidates.cpp
  cli/analysis/auto_boxes.cpp)
target_include_directories(ruvovav_auto_analysis PUBLIC ${PROJECT_SOURCE_DIR})
set_target_properties(ruvovav_auto_analysis PROPERTIES POSITION_INDEPENDENT_CODE ON)

if(RUVOVAV_TESTS)
  add_executable(auto_boxes_test tests/auto_boxes_test.cpp tests/noise_profile_test.cpp)
  target_link_libraries(auto_boxes_test PRIVATE ruvovav_auto_analysis GTest::gtest_main)
  gtest_discover_tests(auto_boxes_test DISCOVERY_TIMEOUT 60)
endif()
