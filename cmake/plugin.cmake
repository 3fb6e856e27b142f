# The effect module. Its objects are also a library of their own so that unit tests can
# link them directly; integration tests load the built module like the editor does.
add_library(ruvovav_plugin_objects OBJECT
  plugin/descriptor.cpp
  plugin/notify.cpp
  denoise/colour_conversion.cpp
  denoise/noise_removal.cpp
  denoise/wavelet_filters.cpp
  denoise/wavelet_programs.cpp
  denoise/wavelet_transform.cpp
  flow/dual_flow.cpp
  flow/farneback_flow.cpp
  flow/flow_average.cpp
  flow/flow_event.cpp
  flow/flow_pyramid.cpp
  flow/flow_solve.cpp
  flow/flow_stages.cpp
  flow/flow_state.cpp
  flow/flow_update.cpp
  flow/flow_upsample.cpp
  flow/gaussian_moments.cpp
  flow/poly_expansion.cpp
  flow/thread.cpp
  gl/blend_state.cpp
  gl/effect_data.cpp
  gl/effect_data_access.cpp
  gl/fx_shader.cpp
  gl/gpu_setup.cpp
  gl/host_image.cpp
  gl/info_log.cpp
  gl/name_index.cpp
  gl/pass_chain.cpp
  gl/pass_profile.cpp
  render/program_table.cpp
  gl/program_uniforms.cpp
  gl/quad_draw.cpp
  gl/read_back.cpp
  gl/render_target.cpp
  gl/shader_log.cpp
  gl/standard_passes.cpp
  render/frame_alignment.cpp
  render/frame_window.cpp
  render/analysis_box.cpp
  render/frequency_pyramid.cpp
  render/noise_analysis.cpp
  render/noise_measure.cpp
  render/layer_denoise.cpp
  render/render_effect.cpp
  render/render_settings.cpp
  render/temporal_transform.cpp
  render/view_modes.cpp
  params/brightness_edit.cpp
  params/declare_parameters.cpp
  plugin/parameter_changed.cpp
  params/parameter_declarer.cpp
  params/text_format.cpp
  params/threshold_settings.cpp
)
target_include_directories(ruvovav_plugin_objects PUBLIC ${PROJECT_SOURCE_DIR})
set_target_properties(ruvovav_plugin_objects PROPERTIES
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
target_link_libraries(ruvovav_plugin_objects PUBLIC GLEW::GLEW OpenGL::OpenGL)
# The dense flow runs on worker threads.
find_package(Threads REQUIRED)
target_link_libraries(ruvovav_plugin_objects PUBLIC Threads::Threads)

add_library(Ruvovav MODULE $<TARGET_OBJECTS:ruvovav_plugin_objects>)
set_target_properties(Ruvovav PROPERTIES PREFIX "" SUFFIX ".kspl" OUTPUT_NAME "Ruvovav"
  LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
# The version script hides even the standard library's template instances, which its
# headers mark visible, so the module exports its two entry points and nothing else.
target_link_options(Ruvovav PRIVATE
  "LINKER:--version-script=${PROJECT_SOURCE_DIR}/plugin/exports.map" "LINKER:--no-undefined")
set_property(TARGET Ruvovav APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/plugin/exports.map)
target_link_libraries(Ruvovav PRIVATE GLEW::GLEW OpenGL::OpenGL Threads::Threads)
