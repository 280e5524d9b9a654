# What every Windows executable of this build gets (README.md, "Harden"); the gate checks it.

# Protections the loader applies: ASLR with a relocation table, also above
# 4 GB, and DEP. ld sets them today; asked for here so that no toolchain
# change drops them. Subsystem 6.2: Qt 6 needs Windows 10 anyway.
add_link_options(
    LINKER:--dynamicbase,--high-entropy-va,--nxcompat
    LINKER:--major-subsystem-version,6,--minor-subsystem-version,2
    # No link time in the PE header: the bytes depend on the source alone.
    LINKER:--no-insert-timestamp)

# Source, build and Qt paths are recorded under neutral names, not as the builder's folders.
add_compile_options(
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}=/kestrum
    -ffile-prefix-map=${PROJECT_BINARY_DIR}=/kestrum-build)
if(KESTRUM_WINDOWS_QT)
    add_compile_options(-ffile-prefix-map=${KESTRUM_WINDOWS_QT}=/qt)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/DelayLoad.cmake)
