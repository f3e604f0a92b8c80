# Native checks of the ASF header reader: unit tests under the sanitizers,
# and the libFuzzer target fuzz_asf_header.
set(VIVU_ASF_SOURCES ${VIVU_SRC}/asf/asf_header.cpp ${VIVU_SRC}/asf/asf_data.cpp ${VIVU_SRC}/asf/asf_probe.cpp)

# A real file written by ffmpeg, when ffmpeg is at hand.
find_program(FFMPEG ffmpeg)
set(asf_sample ${CMAKE_CURRENT_BINARY_DIR}/asf-sample.wma)
if(FFMPEG)
    add_custom_command(OUTPUT ${asf_sample}
        COMMAND ${FFMPEG} -nostdin -loglevel error -y -f lavfi -i sine=frequency=440:duration=2:sample_rate=22050
                -ac 1 -c:a wmav2 -b:a 64k -metadata "title=Café Überschall" -metadata "artist=Müller"
                -metadata "album=Кино" -metadata track=5 ${asf_sample}
        VERBATIM)
    add_custom_target(asf_sample DEPENDS ${asf_sample})
endif()

vivu_native_test(native_asf ${CMAKE_CURRENT_LIST_DIR}/asf_header_test.cpp ${VIVU_ASF_SOURCES}
                )
if(FFMPEG)
    target_compile_definitions(native_asf PRIVATE "ASF_SAMPLE_FILE=\"${asf_sample}\"")
    add_dependencies(native_asf asf_sample)
endif()

vivu_native_fuzzer(fuzz_asf_header ${CMAKE_CURRENT_LIST_DIR}/fuzz_asf_header.cpp ${VIVU_ASF_SOURCES})
