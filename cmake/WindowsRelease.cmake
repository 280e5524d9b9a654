# What every Windows executable of this build gets, so that Kestrum.exe is
# safe to run from a Downloads folder and the same source gives the same
# bytes wherever it is built. tst_program checks the result on the built exe.

# Protections the loader applies: ASLR with a relocation table, also above
# 4 GB, and DEP. ld sets them today; asked for here so that no toolchain
# change drops them. Subsystem 6.2: Qt 6 needs Windows 10 anyway.
add_link_options(
    LINKER:--dynamicbase,--high-entropy-va,--nxcompat
    LINKER:--major-subsystem-version,6,--minor-subsystem-version,2
    # No link time in the PE header: the bytes depend on the source alone.
    LINKER:--no-insert-timestamp)

# Source, build and Qt paths are recorded under neutral names, not as the
# folders of whoever built it.
add_compile_options(
    -ffile-prefix-map=${PROJECT_SOURCE_DIR}=/kestrum
    -ffile-prefix-map=${PROJECT_BINARY_DIR}=/kestrum-build)
if(KESTRUM_WINDOWS_QT)
    add_compile_options(-ffile-prefix-map=${KESTRUM_WINDOWS_QT}=/qt)
endif()

# Windows looks for a DLL that is not one of its KnownDLLs in the program's
# folder first. Each such DLL the static Qt links (through its link interface,
# as -l<name>) is imported lazily instead: import libraries of the same names
# in a folder searched before mingw-w64's make the first call load the DLL
# through LoadLibrary, after main() has limited the search to System32.
set(KESTRUM_DELAY_LOADED authz d3d9 d3d11 dxgi dwmapi netapi32 userenv uxtheme version winmm
                         wtsapi32)
set(delay_dir ${PROJECT_BINARY_DIR}/delay-load)
file(MAKE_DIRECTORY ${delay_dir})
find_program(KESTRUM_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
find_program(KESTRUM_NM NAMES x86_64-w64-mingw32-nm REQUIRED)
foreach(name IN LISTS KESTRUM_DELAY_LOADED)
    set(delay_lib ${delay_dir}/lib${name}.a)
    if(EXISTS ${delay_lib})
        continue()
    endif()
    find_file(import_lib_${name} lib${name}.a PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH
              REQUIRED)
    set(import_lib ${import_lib_${name}})
    execute_process(COMMAND ${KESTRUM_DLLTOOL} --identify ${import_lib}
        OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    # The functions the import library offers: the ones with a call thunk.
    execute_process(COMMAND ${KESTRUM_NM} -g --defined-only ${import_lib}
        OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "[^\n]* T [^\n]+" thunks "${symbols}")
    list(TRANSFORM thunks REPLACE ".* T " "")
    list(SORT thunks)
    list(REMOVE_DUPLICATES thunks)
    list(JOIN thunks "\n" exports)
    file(WRITE ${delay_dir}/${name}.def "LIBRARY \"${dll}\"\nEXPORTS\n${exports}\n")
    # dlltool's assembler leaves temporary files behind; here, not in /tmp.
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${delay_dir}
                            ${KESTRUM_DLLTOOL} --input-def ${name}.def --dllname ${dll}
                            --temp-prefix delay_${name} --output-delaylib lib${name}.a
        WORKING_DIRECTORY ${delay_dir} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# Named relative to the build folder, where Ninja links: ld orders the import
# tables by the full name of the library each piece came from, so an absolute
# name would put them before or after mingw-w64's own depending on where the
# checkout lies.
add_link_options(-Ldelay-load)
