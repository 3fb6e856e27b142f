add_executable(ruvovav cli/main.cpp cli/options.cpp)
target_link_libraries(ruvovav PRIVATE kestrel_host)
set_target_properties(ruvovav PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
add_dependencies(ruvovav Ruvovav)
