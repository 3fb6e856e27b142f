# Our stand-in for the Kestrel editor, used by the tests, the benchmarks and the tool.
add_library(kestrel_host STATIC
  host/clip_frames.cpp
  host/descriptor_reader.cpp
  host/egl_context.cpp
  host/gl_buffers.cpp
  host/gl_images.cpp
  host/gl_state.cpp
  host/host.cpp
  host/host_gl.cpp
  host/host_gl_table.cpp
  host/host_table.cpp
  host/panel_listing.cpp
  host/parameter_store.cpp
  host/plugin_module.cpp
  host/stdout_capture.cpp
  host/wide_text.cpp
)
target_include_directories(kestrel_host PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(kestrel_host PUBLIC GLEW::GLEW OpenGL::OpenGL OpenGL::EGL ${CMAKE_DL_LIBS})
