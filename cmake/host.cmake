# Our stand-in for the Kestrel editor, used by the tests, the benchmarks and the tool.
add_library(kestrel_host STATIC
  host/descriptor_reader.cpp
  host/host.cpp
  host/host_table.cpp
  host/panel_listing.cpp
  host/parameter_store.cpp
  host/plugin_module.cpp
  host/stdout_capture.cpp
  host/wide_text.cpp
)
target_include_directories(kestrel_host PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(kestrel_host PUBLIC ${CMAKE_DL_LIBS})
