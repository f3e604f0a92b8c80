# Native checks of where a seek's audio starts: code that needs no Windows
# headers.
vivu_native_test(native_seek_landing ${CMAKE_CURRENT_LIST_DIR}/seek_landing_test.cpp ${VIVU_SRC}/media/seek_landing.cpp)
