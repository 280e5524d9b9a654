# kestrum_post_link(<target>): after the link (<target>-linked.exe and its map), the notices, the
# fix-up and the gate (README.md, "Harden"); only then does <target>.exe appear, written whole,
# so that none looks finished that was not fixed up or did not pass.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(KESTRUM_EXETOOL ${CMAKE_CURRENT_LIST_DIR}/exetool)

function(kestrum_post_link target)
    set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
    set(exe ${PROJECT_BINARY_DIR}/${target}.exe)
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME ${target}-linked RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
    # The steps after the link are part of it: a change to them links again.
    file(GLOB tool CONFIGURE_DEPENDS ${KESTRUM_EXETOOL}/*.py)
    list(FILTER tool EXCLUDE REGEX "/(test_|crafted)")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${tool}
                 ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/known-dlls.txt)
    # Stripped, exporting nothing: nothing loads it as a library.
    target_link_options(${target} PRIVATE -s LINKER:--exclude-all-symbols LINKER:-Map=${map})
    # An earlier build's executable goes first, and it appears again last,
    # when all else passed.
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E rm -f ${exe}
        COMMAND Python3::Interpreter ${KESTRUM_EXETOOL} notices ${KESTRUM_WINDOWS_QT}/notices
                ${map} ${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES.txt --version ${PROJECT_VERSION}
                --repository=${KESTRUM_REPOSITORY}
        COMMAND Python3::Interpreter ${KESTRUM_EXETOOL} finish $<TARGET_FILE:${target}> ${map}
                ${exe} --path ${PROJECT_BINARY_DIR} --path ${KESTRUM_WINDOWS_QT}
        BYPRODUCTS ${exe} ${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES.txt
        COMMENT "${target}.exe: fix-up and release gate; THIRD-PARTY-NOTICES.txt"
        VERBATIM)
endfunction()
