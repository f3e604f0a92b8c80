# cmake -DCOMPILER=... -DPACKAGES=a;b -DOUT=FILE -P record-toolchain.cmake
# Writes what is building the DLL at this moment: the compiler as it names
# itself, the exact Debian versions of the packages that decide the DLL's
# bytes, and the CMake running the build.
execute_process(COMMAND ${COMPILER} --version OUTPUT_VARIABLE version ERROR_QUIET)
string(REGEX MATCH "^[^\n]*" version "${version}")
set(text "  compiler: ${version}\n")
foreach(package IN LISTS PACKAGES)
    execute_process(COMMAND dpkg-query -W "-f=\${Version}" ${package}
                    OUTPUT_VARIABLE installed RESULT_VARIABLE failed ERROR_QUIET)
    if(failed OR installed STREQUAL "")
        set(installed "(not installed)")
    endif()
    string(APPEND text "  ${package} ${installed}\n")
endforeach()
string(APPEND text "  cmake ${CMAKE_VERSION}\n")
file(WRITE ${OUT} "${text}")
