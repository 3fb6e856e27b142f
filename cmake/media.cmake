# Decoding and encoding of video files and image sequences for the command-line tool.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBAV REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libswresample
                  libavutil)
# Debian's OpenImageIO CMake package names its command-line tools, which live in another package
# (openimageio-tools) and fail the import when absent; pkg-config needs only the library.
pkg_check_modules(OIIO REQUIRED IMPORTED_TARGET OpenImageIO)

add_library(ruvovav_media STATIC
  cli/media/audio_plan.cpp
  cli/media/audio_transcoder.cpp
  cli/media/av_handles.cpp
  cli/media/frame_converter.cpp
  cli/media/frame_pattern.cpp
  cli/media/image_file.cpp
  cli/media/image_header_check.cpp
  cli/media/media_reader.cpp
  cli/media/media_writer.cpp
  cli/media/output_format.cpp
  cli/media/sequence_reader.cpp
  cli/media/sequence_writer.cpp
  cli/media/source_streams.cpp
  cli/media/still_writer.cpp
  cli/media/stream_metadata.cpp
  cli/media/temp_file.cpp
  cli/media/video_reader.cpp
  cli/media/video_writer.cpp)
set_target_properties(ruvovav_media PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(ruvovav_media PUBLIC ${PROJECT_SOURCE_DIR}/cli)
target_link_libraries(ruvovav_media PRIVATE PkgConfig::LIBAV PkgConfig::OIIO)

if(RUVOVAV_TESTS)
  # Reading and writing, outputs that appear only when whole, and sound, subtitles, metadata
  # and frame times beside the pictures; the test remuxes a rotated source with libavformat.
  add_executable(media_io_test tests/media_io_test.cpp)
  target_link_libraries(media_io_test PRIVATE ruvovav_media PkgConfig::LIBAV GTest::gtest_main)
  target_include_directories(media_io_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(media_io_test DISCOVERY_TIMEOUT 60)

  # Damaged image headers, refused before OpenImageIO opens the file.
  add_executable(image_header_check_test tests/image_header_check_test.cpp)
  target_link_libraries(image_header_check_test PRIVATE ruvovav_media GTest::gtest_main)
  gtest_discover_tests(image_header_check_test DISCOVERY_TIMEOUT 60)
endif()
