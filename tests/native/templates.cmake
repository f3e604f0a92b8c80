# Native checks of the title templates, the cut to a text field and the
# file-name rule: code that needs no Windows headers.
set(VIVU_TEMPLATE_SOURCES
    ${VIVU_SRC}/info/title_template.cpp
    ${VIVU_SRC}/info/text_limit.cpp
    ${VIVU_SRC}/plugin/file_name.cpp)

vivu_native_test(native_templates ${CMAKE_CURRENT_LIST_DIR}/templates_test.cpp ${VIVU_TEMPLATE_SOURCES})
vivu_native_fuzzer(fuzz_templates ${CMAKE_CURRENT_LIST_DIR}/fuzz_templates.cpp ${VIVU_TEMPLATE_SOURCES})

# The first-bytes test of a file before the media runtime gets it.
vivu_native_test(native_asf_probe ${CMAKE_CURRENT_LIST_DIR}/asf_probe_test.cpp ${VIVU_SRC}/asf/asf_probe.cpp)
