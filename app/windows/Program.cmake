# What only Kestrum.exe has: the DLL search limited before any of its code
# runs, the load configuration, and its own resources (icon, manifest,
# version resource, the built-in qt.conf).
target_include_directories(Kestrum PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_sources(Kestrum PRIVATE ${CMAKE_CURRENT_LIST_DIR}/DllSearch.cpp
                               ${CMAKE_CURRENT_LIST_DIR}/LoadConfiguration.cpp)
# Nothing refers to the load configuration, the end of the delay-import
# table or the TLS callback; the link must keep them all the same.
target_link_options(Kestrum PRIVATE
    LINKER:--undefined=_load_config_used,--undefined=kestrumDelayImportEnd
    LINKER:--undefined=kestrumLimitDllSearch)

# Kestrum.exe's own resources (Kestrum.rc.in). llvm-rc reads the UTF-8
# script exactly; windres turns the compiled resources into an object file
# for the linker. Each input is checked here, so that a build never leaves
# one out silently.
find_program(KESTRUM_LLVM_RC NAMES llvm-rc-14 llvm-rc)
if(NOT KESTRUM_LLVM_RC)
    message(FATAL_ERROR "Kestrum.exe's version resource: llvm-rc is not installed (llvm-14)")
endif()
set(KESTRUM_ICON ${PROJECT_SOURCE_DIR}/resources/kestrum.ico)
if(NOT EXISTS ${KESTRUM_ICON})
    message(FATAL_ERROR "Kestrum.exe's icon: ${KESTRUM_ICON} is missing "
                        "(resources/make_pictures.py draws it)")
endif()
set(KESTRUM_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/Kestrum.exe.manifest)
configure_file(${CMAKE_CURRENT_LIST_DIR}/Kestrum.exe.manifest.in ${KESTRUM_MANIFEST} @ONLY)
set(KESTRUM_VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},")
string(APPEND KESTRUM_VERSION_NUMBERS "${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/Kestrum.rc.in Kestrum.rc @ONLY)
add_custom_command(OUTPUT Kestrum.res
    COMMAND ${KESTRUM_LLVM_RC} /no-preprocess /C 65001 /FO Kestrum.res Kestrum.rc
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/Kestrum.rc ${KESTRUM_ICON} ${KESTRUM_MANIFEST}
    COMMENT "Kestrum.exe's icon, manifest and version resource")
add_custom_command(OUTPUT Kestrum-resources.obj
    COMMAND ${CMAKE_RC_COMPILER} -J res -O coff -i Kestrum.res -o Kestrum-resources.obj
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/Kestrum.res)
target_sources(Kestrum PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/Kestrum-resources.obj)

# Qt reads its qt.conf from the resources first, so one planted beside
# Kestrum.exe is never read.
qt_add_resources(Kestrum qtconf PREFIX /qt/etc BASE ${CMAKE_CURRENT_LIST_DIR}
                 FILES ${CMAKE_CURRENT_LIST_DIR}/qt.conf OPTIONS --format-version 1)
