# libFuzzer targets for the tool's input handling: option values, profiles, media files.
# Included before any other target is defined, because the instrumentation below must reach
# every object the fuzzers link; the targets named here are defined later by the other files.
# Build only the `fuzzers` target in this configuration (scripts/fuzz.sh does): the module and
# the GL host are not meant to link with the fuzzer's instrumentation.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "RUVOVAV_FUZZ=ON needs clang for libFuzzer, not "
                      "${CMAKE_CXX_COMPILER_ID}: configure a fresh build folder with "
                      "CC=clang CXX=clang++")
endif()
if(ruvovav_sanitize STREQUAL "thread")
  message(FATAL_ERROR "RUVOVAV_FUZZ=ON runs AddressSanitizer; it cannot be combined with "
                      "RUVOVAV_SANITIZE=thread")
endif()

# UndefinedBehaviorSanitizer must stop the run: a report that only prints is no finding.
# Assertions stay on whatever the build type, so that the JSON library's checks of its own
# preconditions count as findings too.
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer -UNDEBUG)
add_link_options(-fsanitize=address,undefined)

# The parsers and the parameter store alone (and the temporary file profiles are written
# through): the fuzzers need neither GL nor the module.
add_library(ruvovav_fuzz_inputs STATIC
  cli/value_parsers.cpp
  cli/profile.cpp
  cli/media/temp_file.cpp
  host/parameter_store.cpp)
target_include_directories(ruvovav_fuzz_inputs PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/cli)
target_link_libraries(ruvovav_fuzz_inputs PUBLIC nlohmann_json::nlohmann_json)

add_custom_target(fuzzers)
function(ruvovav_fuzzer name)
  add_executable(${name} fuzz/${name}.cpp)
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzz)
  add_dependencies(fuzzers ${name})
endfunction()

ruvovav_fuzzer(value_parsers_fuzzer ruvovav_fuzz_inputs)
ruvovav_fuzzer(profile_fuzzer ruvovav_fuzz_inputs)
ruvovav_fuzzer(media_reader_fuzzer ruvovav_media)
