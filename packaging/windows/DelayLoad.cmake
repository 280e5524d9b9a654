# Each DLL of delay-loaded.txt, which the static Qt links as -l<name>, is imported on first use
# (README.md, "Harden"; recipe 2): import libraries of the same names, in a folder the link
# searches before mingw-w64's, make the first call load the DLL through LoadLibrary, after the
# program has limited the search to System32. Every executable links again when one changes.
set(KESTRUM_DELAY_LIST ${CMAKE_CURRENT_LIST_DIR}/delay-loaded.txt)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KESTRUM_DELAY_LIST})
file(STRINGS ${KESTRUM_DELAY_LIST} KESTRUM_DELAY_LOADED REGEX "^[a-z0-9_]+$")

set(delay_dir ${PROJECT_BINARY_DIR}/delay-load)
file(MAKE_DIRECTORY ${delay_dir})
find_program(KESTRUM_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
find_program(KESTRUM_NM NAMES x86_64-w64-mingw32-nm REQUIRED)
set(KESTRUM_DELAY_LIBRARIES "")
foreach(name IN LISTS KESTRUM_DELAY_LOADED)
    find_file(KESTRUM_IMPORT_LIBRARY_${name} lib${name}.a PATHS /usr/x86_64-w64-mingw32/lib
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(library ${delay_dir}/lib${name}.a)
    add_custom_command(OUTPUT ${library}
        COMMAND ${CMAKE_COMMAND} -DNAME=${name} -DIMPORT_LIBRARY=${KESTRUM_IMPORT_LIBRARY_${name}}
                -DDLLTOOL=${KESTRUM_DLLTOOL} -DNM=${KESTRUM_NM} -DFOLDER=${delay_dir}
                -P ${CMAKE_CURRENT_LIST_DIR}/delay-load-library.cmake
        DEPENDS ${KESTRUM_IMPORT_LIBRARY_${name}} ${CMAKE_CURRENT_LIST_DIR}/delay-load-library.cmake
        COMMENT "Delay-load import library for ${name}"
        VERBATIM)
    list(APPEND KESTRUM_DELAY_LIBRARIES ${library})
endforeach()
add_custom_target(delay_load_libraries DEPENDS ${KESTRUM_DELAY_LIBRARIES})

# A library of a DLL taken off the list must not be found any more.
file(GLOB made ${delay_dir}/lib*.a)
list(REMOVE_ITEM made ${KESTRUM_DELAY_LIBRARIES})
if(made)
    file(REMOVE ${made})
endif()

# Named relative to the build folder, where Ninja links: ld orders the import
# tables by the full name of the library each piece came from, so an absolute
# name would put them before or after mingw-w64's own depending on where the
# checkout lies. Other generators link in each target's own folder; there the
# absolute name is found, but the bytes depend on where the build lies.
if(CMAKE_GENERATOR MATCHES "Ninja")
    add_link_options(-Ldelay-load)
else()
    add_link_options(-L${delay_dir})
endif()

function(kestrum_delay_load_in directory)
    get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            add_dependencies(${target} delay_load_libraries)
            # The list too: a DLL taken off it must be linked again directly.
            set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KESTRUM_DELAY_LIBRARIES}
                                                                      ${KESTRUM_DELAY_LIST})
        endif()
    endforeach()
    get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
    foreach(subdirectory IN LISTS subdirectories)
        kestrum_delay_load_in(${subdirectory})
    endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR}
               CALL kestrum_delay_load_in ${PROJECT_SOURCE_DIR})
