# Writes the third-party notices of Kestrum.exe, which links Qt statically:
#
#   cmake -DNOTICES=<dir> -DLINK_MAP=<map file> -DOUTPUT=<file> -P cmake/ThirdPartyNotices.cmake
#
# NOTICES is what scripts/qt-notices collected from the source the static Qt
# was built from, LINK_MAP the GNU ld map (-Wl,-Map=) of Kestrum.exe's link.
# RUNTIME, if given, is the copyright file of the mingw-w64 runtime, whose
# start-up code and winpthreads every such link takes.
# A component is listed when the link pulled in one of the compiled files
# that carry its code, so the notices follow what the executable contains.
cmake_minimum_required(VERSION 3.25)

foreach(var NOTICES LINK_MAP OUTPUT)
    if("${${var}}" STREQUAL "")
        message(FATAL_ERROR "ThirdPartyNotices: ${var} is not set (-D${var}=...)")
    endif()
endforeach()
if(NOT IS_DIRECTORY "${NOTICES}")
    message(FATAL_ERROR "ThirdPartyNotices: NOTICES (${NOTICES}) is not a directory")
endif()
foreach(file qt-source LICENSES/LGPL-3.0-only.txt LICENSES/GPL-3.0-only.txt)
    if(NOT EXISTS "${NOTICES}/${file}")
        message(FATAL_ERROR "ThirdPartyNotices: NOTICES (${NOTICES}) has no ${file}; it must be "
                            "a directory made by scripts/qt-notices, which scripts/windows-qt "
                            "runs when it builds Qt")
    endif()
endforeach()
file(GLOB_RECURSE attributions "${NOTICES}/src/qt_attribution.json")
if(NOT attributions)
    message(FATAL_ERROR "ThirdPartyNotices: NOTICES (${NOTICES}) holds no qt_attribution.json")
endif()
list(SORT attributions)
if(NOT EXISTS "${LINK_MAP}" OR IS_DIRECTORY "${LINK_MAP}")
    message(FATAL_ERROR "ThirdPartyNotices: the link map ${LINK_MAP} does not exist")
endif()
file(SIZE "${LINK_MAP}" size)
if(size EQUAL 0)
    message(FATAL_ERROR "ThirdPartyNotices: the link map ${LINK_MAP} is empty")
endif()

file(STRINGS "${NOTICES}/qt-source" lines)
foreach(line IN LISTS lines)
    if(line MATCHES "^(package|version) (.+)$")
        set(qt_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
    endif()
endforeach()
if(NOT qt_package OR NOT qt_version)
    message(FATAL_ERROR "ThirdPartyNotices: ${NOTICES}/qt-source names no package and version")
endif()
string(REGEX REPLACE "^[0-9]+:" "" qt_upstream "${qt_version}")
string(REGEX MATCH "^[0-9][0-9.]*[0-9]" qt_upstream "${qt_upstream}")

# The files the link took, from the memory map (the part before it lists what
# was discarded): one input section of non-zero size is enough.
file(STRINGS "${LINK_MAP}" lines ENCODING UTF-8
     REGEX "^Linker script and memory map$|0x[0-9a-fA-F]+ +0x0*[1-9a-fA-F][0-9a-fA-F]* +[^ ]")
list(FIND lines "Linker script and memory map" at)
if(at EQUAL -1)
    message(FATAL_ERROR "ThirdPartyNotices: ${LINK_MAP} is not a GNU ld map (no memory map in it)")
endif()
math(EXPR at "${at} + 1")
list(SUBLIST lines ${at} -1 lines)
list(TRANSFORM lines REPLACE "^.*0x[0-9a-fA-F]+ +0x[0-9a-fA-F]+ +" "")
list(REMOVE_DUPLICATES lines)
set(bundled "")
set(modules "")
set(plugins "")
foreach(path IN LISTS lines)
    set(archive "")
    if(path MATCHES "([^/\\]+)\\(([^()]+)\\)$")
        set(archive "${CMAKE_MATCH_1}")
        set(member "${CMAKE_MATCH_2}")
    else()
        get_filename_component(member "${path}" NAME)
    endif()
    # CMake names the object of foo.cpp "foo.cpp.obj".
    string(REGEX REPLACE "\\.(obj|o)$" "" unit "${member}")
    set("linked:${unit}" 1)
    if(archive MATCHES "^libQt6Bundled.*\\.a$")
        list(APPEND bundled "${unit}\t${archive}(${member})")
    elseif(archive MATCHES "^libQt6(.+)\\.a$")
        list(APPEND modules "Qt ${CMAKE_MATCH_1}")
    elseif(path MATCHES "/plugins/[^/]+/lib([^/]+)\\.a\\(")
        list(APPEND plugins "${CMAKE_MATCH_1}")
    endif()
endforeach()
if(NOT "Qt Core" IN_LIST modules)
    message(FATAL_ERROR "ThirdPartyNotices: ${LINK_MAP} shows no Qt Core (libQt6Core.a) in the link")
endif()
list(REMOVE_DUPLICATES modules)
list(REMOVE_DUPLICATES plugins)
list(SORT modules)
list(SORT plugins)
list(JOIN modules ", " modules)
list(JOIN plugins ", " plugins)

# A license file's text: UTF-8 without a byte order mark, LF line ends.
string(ASCII 239 187 191 bom)
function(read_text out file)
    file(READ "${file}" text)
    string(FIND "${text}" "${bom}" at)
    if(at EQUAL 0)
        string(SUBSTRING "${text}" 3 -1 text)
    endif()
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REGEX REPLACE "[ \t\n]+$" "" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(json_string out json)
    string(JSON value ERROR_VARIABLE error GET "${json}" ${ARGN})
    if(error)
        set(value "")
    endif()
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

# The files an entry names under key: one string of names separated by spaces
# or commas, or an array of them.
function(json_files out json key)
    set(files "")
    string(JSON type ERROR_VARIABLE error TYPE "${json}" ${key})
    if(type STREQUAL "ARRAY")
        string(JSON count LENGTH "${json}" ${key})
        math(EXPR count "${count} - 1")
        foreach(i RANGE ${count})
            string(JSON file GET "${json}" ${key} ${i})
            list(APPEND files "${file}")
        endforeach()
    elseif(type STREQUAL "STRING")
        string(JSON files GET "${json}" ${key})
        string(REGEX REPLACE "[ ,\t\r\n]+" ";" files "${files}")
    endif()
    list(FILTER files EXCLUDE REGEX "^$")
    set(${out} "${files}" PARENT_SCOPE)
endfunction()

# Every attribution entry whose code the link pulled in, once each (by Id).
set(included "")
foreach(json_file IN LISTS attributions)
    get_filename_component(dir "${json_file}" DIRECTORY)
    file(RELATIVE_PATH where "${NOTICES}" "${json_file}")
    if(NOT EXISTS "${dir}/qt_attribution.units")
        message(FATAL_ERROR "ThirdPartyNotices: ${where} has no qt_attribution.units beside it; "
                            "make ${NOTICES} again with scripts/qt-notices")
    endif()
    file(STRINGS "${dir}/qt_attribution.units" lines)
    set(hits "")
    foreach(line IN LISTS lines)
        if(line MATCHES "^([0-9]+) (.+)$")
            set("covered:${CMAKE_MATCH_2}" 1)
            if(DEFINED "linked:${CMAKE_MATCH_2}")
                list(APPEND hits ${CMAKE_MATCH_1})
            endif()
        endif()
    endforeach()
    if(hits STREQUAL "")
        continue()
    endif()
    list(REMOVE_DUPLICATES hits)
    file(READ "${json_file}" json)
    string(JSON type ERROR_VARIABLE error TYPE "${json}")
    if(error)
        message(FATAL_ERROR "ThirdPartyNotices: ${where}: ${error}")
    endif()
    foreach(index IN LISTS hits)
        set(entry "${json}")
        if(type STREQUAL "ARRAY")
            string(JSON entry ERROR_VARIABLE error GET "${json}" ${index})
            if(error)
                message(FATAL_ERROR "ThirdPartyNotices: ${where} has no entry ${index}")
            endif()
        endif()
        json_string(id "${entry}" Id)
        json_string(name "${entry}" Name)
        if(id STREQUAL "" OR name STREQUAL "")
            message(FATAL_ERROR "ThirdPartyNotices: entry ${index} of ${where} has no Id or Name")
        endif()
        if(DEFINED "entry:${id}")
            continue()
        endif()
        set("entry:${id}" 1)
        list(LENGTH included n)
        set(entry_${n} "${entry}")
        set(dir_${n} "${dir}")
        string(TOLOWER "${name}" key)
        string(REPLACE ";" "," key "${key}")
        list(APPEND included "${key}\t${n}")
    endforeach()
endforeach()

# A library Qt bundles that no attribution entry accounts for must not end up
# in Kestrum.exe unlisted.
set(unlisted "")
foreach(item IN LISTS bundled)
    string(REGEX MATCH "^[^\t]*" unit "${item}")
    if(NOT DEFINED "covered:${unit}")
        string(REGEX REPLACE "^[^\t]*\t" "" item "${item}")
        list(APPEND unlisted "${item}")
    endif()
endforeach()
if(unlisted)
    list(LENGTH unlisted count)
    if(count GREATER 6)
        list(SUBLIST unlisted 0 5 unlisted)
        math(EXPR count "${count} - 5")
        list(APPEND unlisted "and ${count} more")
    endif()
    list(JOIN unlisted ", " unlisted)
    message(FATAL_ERROR "ThirdPartyNotices: the link took code that Qt bundles but that no "
                        "qt_attribution.json in ${NOTICES} covers: ${unlisted}")
endif()

set(rule "================================================================================")

# One section a component, in the order of their names.
set(components "")
set(contents "")
list(SORT included CASE INSENSITIVE)
foreach(item IN LISTS included)
    string(REGEX REPLACE "^[^\t]*\t" "" n "${item}")
    set(entry "${entry_${n}}")
    set(dir "${dir_${n}}")
    json_string(name "${entry}" Name)
    json_string(version "${entry}" Version)
    json_string(license "${entry}" License)
    json_string(license_id "${entry}" LicenseId)
    json_string(copyright "${entry}" Copyright)
    string(APPEND contents "  - ${name}\n")
    string(APPEND components "\n\n${rule}\n${name}\n${rule}\n\n")
    if(NOT version STREQUAL "")
        string(APPEND components "Version: ${version}\n")
    endif()
    if(license STREQUAL "")
        set(license "${license_id}")
    elseif(NOT license_id STREQUAL "" AND NOT license_id STREQUAL license)
        string(APPEND license " (${license_id})")
    endif()
    string(APPEND components "License: ${license}\n")
    if(NOT copyright STREQUAL "")
        string(STRIP "${copyright}" copyright)
        string(APPEND components "\n${copyright}\n")
    endif()
    json_files(copyright_files "${entry}" CopyrightFile)
    json_files(license_files "${entry}" LicenseFile)
    json_files(more_license_files "${entry}" LicenseFiles)
    list(APPEND license_files ${more_license_files})
    foreach(file IN LISTS copyright_files license_files)
        if(NOT EXISTS "${dir}/${file}")
            file(RELATIVE_PATH where "${NOTICES}" "${dir}/${file}")
            message(FATAL_ERROR "ThirdPartyNotices: ${NOTICES} lacks ${where}, named by ${name}")
        endif()
        read_text(body "${dir}/${file}")
        get_filename_component(file "${file}" NAME)
        # A text that already stood above is only referred to.
        string(SHA256 hash "${body}")
        if(DEFINED printed_${hash})
            string(APPEND components "\n${file}: the same text as for ${printed_${hash}} above.\n")
        else()
            set(printed_${hash} "${name}")
            string(APPEND components "\n--- ${file} ---\n\n${body}\n")
        endif()
    endforeach()
endforeach()

if(NOT "${RUNTIME}" STREQUAL "")
    if(NOT EXISTS "${RUNTIME}")
        message(FATAL_ERROR "ThirdPartyNotices: the runtime's copyright file ${RUNTIME} is missing")
    endif()
    read_text(body "${RUNTIME}")
    set(name "mingw-w64 runtime and winpthreads")
    string(APPEND contents "  - ${name}\n")
    string(APPEND components "\n\n${rule}\n${name}\n${rule}\n\n"
        "The start-up code of the C runtime and the POSIX threads library of mingw-w64, "
        "as the copyright file of the package they come from states them:\n\n${body}\n")
endif()

set(qt "${modules}")
if(NOT plugins STREQUAL "")
    string(APPEND qt "; plugins: ${plugins}")
endif()
read_text(lgpl "${NOTICES}/LICENSES/LGPL-3.0-only.txt")
read_text(gpl "${NOTICES}/LICENSES/GPL-3.0-only.txt")

# Notepad does not wrap lines unless asked to, so the prose is wrapped here.
string(ASCII 1 semicolon)
function(wrap out text)
    string(REPLACE ";" "${semicolon}" text "${text}")
    string(REGEX REPLACE "[ \t\n]+" ";" words "${text}")
    set(wrapped "")
    set(line "")
    foreach(word IN LISTS words)
        string(LENGTH "${line} ${word}" length)
        if(line STREQUAL "")
            set(line "${word}")
        elseif(length GREATER 78)
            string(APPEND wrapped "${line}\n")
            set(line "${word}")
        else()
            string(APPEND line " ${word}")
        endif()
    endforeach()
    string(REPLACE "${semicolon}" ";" wrapped "${wrapped}${line}")
    set(${out} "${wrapped}" PARENT_SCOPE)
endfunction()

wrap(about "Kestrum.exe is linked statically with Qt ${qt_upstream} (${qt}) and with \
the code from other projects that Qt bundles and that the link put into it, so it \
is based in part on the work of the authors of each component listed here:")
wrap(qt_license "Each has its section below, with its copyright and license. Qt is \
Copyright (C) The Qt Company Ltd. and other contributors, and Kestrum.exe uses it \
under the GNU Lesser General Public License version 3 (LGPL v3), whose text \
follows, with that of the GNU General Public License version 3 it builds on.")
wrap(source "The Qt in Kestrum.exe was built from Debian's source package \
${qt_package}, version ${qt_version}, which is also the source of every component \
listed here. On a Debian system with source package entries it is fetched with:")
wrap(relink "Kestrum.exe can be rebuilt from Kestrum's own source with \
./scripts/windows, which builds that Qt statically for Windows first. To relink it \
with a modified Qt instead, build that Qt statically with mingw-w64 and run, in \
Kestrum's source:")

set(text "Third-party software in Kestrum.exe
${rule}

${about}

  - Qt ${qt_upstream}
${contents}
${qt_license}

${source}

    apt-get source ${qt_package}=${qt_version}

${relink}

    cmake --preset windows -DKESTRUM_WINDOWS_QT=<that Qt's install prefix>
    cmake --build --preset windows

The new Kestrum.exe is build/windows/Kestrum.exe.


${rule}
Qt ${qt_upstream}
${rule}

License: GNU Lesser General Public License v3.0 only (LGPL-3.0-only)

--- LGPL-3.0-only.txt ---

${lgpl}

--- GPL-3.0-only.txt: the GNU General Public License v3.0, on which the LGPL v3 builds ---

${gpl}
${components}")

# Notepad shows UTF-8 reliably with a byte order mark and CR LF line ends.
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUTPUT}.tmp" "${bom}${text}")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
