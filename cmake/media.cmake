# Decoding and encoding of video files and image sequences for the command-line tool.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBAV REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libavutil)
# Debian's OpenImageIO CMake package names its command-line tools, which live in another package
# (openimageio-tools) and fail the import when absent; pkg-config needs only the library.
pkg_check_modules(OIIO REQUIRED IMPORTED_TARGET OpenImageIO)

add_library(ruvovav_media STATIC
  cli/media/av_handles.cpp
  cli/media/frame_converter.cpp
  cli/media/frame_pattern.cpp
  cli/media/media_reader.cpp
  cli/media/media_writer.cpp
  cli/media/output_format.cpp
  cli/media/sequence_reader.cpp
  cli/media/sequence_writer.cpp
  cli/media/video_reader.cpp
  cli/media/video_writer.cpp)
set_target_properties(ruvovav_media PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(ruvovav_media PUBLIC ${PROJECT_SOURCE_DIR}/cli)
target_link_libraries(ruvovav_media PRIVATE PkgConfig::LIBAV PkgConfig::OIIO)

if(RUVOVAV_TESTS)
  add_executable(media_io_test tests/media_io_test.cpp)
  target_link_libraries(media_io_test PRIVATE ruvovav_media GTest::gtest_main)
  gtest_discover_tests(media_io_test DISCOVERY_TIMEOUT 60)
endif()
