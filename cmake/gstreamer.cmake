# The native GStreamer element "ruvovav" (gstreamer/): the editor core's effect with the tool's
# centred window, on 8- and 16-bit frames, in the plug-in libgstruvovav.so.
find_package(PkgConfig REQUIRED)
pkg_check_modules(GSTREAMER REQUIRED IMPORTED_TARGET gstreamer-1.0 gstreamer-base-1.0
                  gstreamer-video-1.0)

add_library(ruvovav_gstreamer_objects OBJECT
  gstreamer/element_properties.cpp
  gstreamer/element_settings.cpp
  gstreamer/element_stream.cpp
  gstreamer/plugin.cpp
  gstreamer/ruvovav_element.cpp)
target_include_directories(ruvovav_gstreamer_objects PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(ruvovav_gstreamer_objects PUBLIC ruvovav_editor_core PkgConfig::GSTREAMER)

# gstreamer/libgstruvovav.so, with the module beside it as an installed copy has it.
set(ruvovav_gstreamer_dir ${PROJECT_BINARY_DIR}/gstreamer)
ruvovav_editor_plugin(ruvovav_gstreamer ruvovav_gstreamer_objects ${ruvovav_gstreamer_dir}
  ${PROJECT_SOURCE_DIR}/gstreamer/exports.map)
set_target_properties(ruvovav_gstreamer PROPERTIES OUTPUT_NAME "gstruvovav")
target_link_libraries(ruvovav_gstreamer PRIVATE PkgConfig::GSTREAMER)

# GStreamer's own plug-in folder under the install prefix (lib/x86_64-linux-gnu/gstreamer-1.0
# on Debian), with the module beside the plug-in. GStreamer only loads files named *.so there.
pkg_get_variable(gstreamer_prefix gstreamer-1.0 prefix)
pkg_get_variable(gstreamer_plugins_dir gstreamer-1.0 pluginsdir)
file(RELATIVE_PATH ruvovav_gstreamer_install_dir ${gstreamer_prefix} ${gstreamer_plugins_dir})
install(TARGETS ruvovav_gstreamer Ruvovav LIBRARY DESTINATION ${ruvovav_gstreamer_install_dir})

if(RUVOVAV_TESTS)
  pkg_check_modules(GSTREAMER_APP REQUIRED IMPORTED_TARGET gstreamer-app-1.0)
  # The element in this process on llvmpipe, against the tool's own output.
  add_executable(gstreamer_element_test tests/gstreamer_element_test.cpp)
  target_link_libraries(gstreamer_element_test PRIVATE
    ruvovav_gstreamer_objects PkgConfig::GSTREAMER_APP GTest::gtest_main)
  target_include_directories(gstreamer_element_test PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(gstreamer_element_test PRIVATE
    RUVOVAV_MODULE_PATH="$<TARGET_FILE:Ruvovav>" RUVOVAV_TOOL_PATH="$<TARGET_FILE:ruvovav>")
  add_dependencies(gstreamer_element_test Ruvovav ruvovav)
  gtest_discover_tests(gstreamer_element_test DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endif()

# gst-inspect-1.0 and gst-launch-1.0 finding the built plug-in. Not in sanitizer builds: an
# instrumented plug-in cannot be loaded into programs built without the sanitizer runtime.
if(RUVOVAV_TESTS AND ruvovav_sanitize MATCHES "^(off|0|false|no|)$")
  add_executable(gstreamer_launch_test tests/gstreamer_launch_test.cpp)
  target_link_libraries(gstreamer_launch_test PRIVATE GTest::gtest_main)
  target_compile_definitions(gstreamer_launch_test PRIVATE
    RUVOVAV_TOOL_PATH="$<TARGET_FILE:ruvovav>"
    RUVOVAV_GSTREAMER_DIR="$<TARGET_FILE_DIR:ruvovav_gstreamer>")
  add_dependencies(gstreamer_launch_test ruvovav ruvovav_gstreamer)
  gtest_discover_tests(gstreamer_launch_test DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
endif()
