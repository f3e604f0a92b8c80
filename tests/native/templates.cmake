# Native checks of the title templates, the cut to a text field and the
# file-name rule: code that needs no Windows headers.
set(VIVU_TEMPLATE_SOURCES
    ${VIVU_SRC}/info/title_template.cpp
    ${VIVU_SRC}/info/text_limit.cpp
    ${VIVU_SRC}/plugin/file_name.cpp)

add_executable(native_templates ${CMAKE_CURRENT_LIST_DIR}/templates_test.cpp ${VIVU_TEMPLATE_SOURCES})
target_include_directories(native_templates PRIVATE ${VIVU_SRC})
target_compile_options(native_templates PRIVATE ${SANITIZE} -g -Wall -Wextra)
target_link_options(native_templates PRIVATE ${SANITIZE})
target_link_libraries(native_templates PRIVATE GTest::gtest GTest::gtest_main)
add_test(NAME native_templates COMMAND native_templates)

# libFuzzer target; ./vivu runs every build/native/fuzz_* binary.
add_executable(fuzz_templates ${CMAKE_CURRENT_LIST_DIR}/fuzz_templates.cpp ${VIVU_TEMPLATE_SOURCES})
target_include_directories(fuzz_templates PRIVATE ${VIVU_SRC})
target_compile_options(fuzz_templates PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
                       -fno-omit-frame-pointer -g)
target_link_options(fuzz_templates PRIVATE -fsanitize=fuzzer,address,undefined)

# The first-bytes test of a file before the media runtime gets it.
add_executable(native_asf_probe ${CMAKE_CURRENT_LIST_DIR}/asf_probe_test.cpp ${VIVU_SRC}/media/asf_probe.cpp)
target_include_directories(native_asf_probe PRIVATE ${VIVU_SRC})
target_compile_options(native_asf_probe PRIVATE ${SANITIZE} -g -Wall -Wextra)
target_link_options(native_asf_probe PRIVATE ${SANITIZE})
target_link_libraries(native_asf_probe PRIVATE GTest::gtest GTest::gtest_main)
add_test(NAME native_asf_probe COMMAND native_asf_probe)
