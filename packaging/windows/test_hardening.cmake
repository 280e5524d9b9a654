# The gate on what the real toolchain makes: test_hardening.cpp, built
# once as is and once per row without one protection, must fail the gate
# naming exactly the row's checks (none as is). Built here rather than by
# a Python test calling the compiler, so that it gets the toolchain
# file's, Hardening.cmake's and DelayLoad.cmake's flags as they are, not a
# copy of them. ld takes high-entropy VA away with the dynamic base. The
# direct import links mingw-w64's own import library by its full name, as
# a link that missed the delay-load libraries would.
# <what is taken away>|<compiler and linker flags>|<what the gate names>
set(hardening_rows
    "nothing||"
    "dynamic base|-Wl,--disable-dynamicbase|ASLR (DYNAMIC_BASE),high-entropy ASLR (HIGH_ENTROPY_VA)"
    "high-entropy VA|-Wl,--disable-high-entropy-va|high-entropy ASLR (HIGH_ENTROPY_VA)"
    "NX|-Wl,--disable-nxcompat|DEP (NX_COMPAT)"
    "stack protector|-fno-stack-protector|stack protector"
    "load configuration|-DWITHOUT_LOAD_CONFIGURATION|load configuration"
    "delay-loading of version.dll|-Wl,${KESTRUM_IMPORT_LIBRARY_version}|VERSION.dll"
    "time stamp 0|-Wl,--insert-timestamp|time stamp"
    "subsystem 6.2|-Wl,--minor-subsystem-version,0|subsystem")
set(checked "")
foreach(row IN LISTS hardening_rows)
    string(REPLACE "|" ";" fields "${row}")
    list(GET fields 0 what)
    list(GET fields 1 flags)
    list(GET fields 2 names)
    string(MAKE_C_IDENTIFIER "hardening ${what}" target)
    add_executable(${target} test_hardening.cpp)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    # As the post-link step links Kestrum.exe; the flags go last, after the
    # objects, where they overrule the build's and an import library is
    # searched.
    target_compile_options(${target} PRIVATE ${flags})
    # As Kestrum.exe's link, which --gc-sections would otherwise leave
    # without the load configuration and the end of the delay-import table,
    # to which nothing refers.
    target_link_options(${target} PRIVATE -s LINKER:--exclude-all-symbols
                        LINKER:--undefined=_load_config_used,--undefined=kestrumDelayImportEnd
                        LINKER:-Map=${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
    target_link_libraries(${target} PRIVATE ${flags} version winmm)
    list(APPEND checked "${what}|$<TARGET_FILE:${target}>|${names}")
endforeach()
add_test(NAME hardening COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/test_hardening.py
         --path=${PROJECT_BINARY_DIR} --path=${KESTRUM_WINDOWS_QT} ${checked})
set_tests_properties(hardening PROPERTIES TIMEOUT 60)
