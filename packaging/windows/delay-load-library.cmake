# Makes FOLDER/lib<NAME>.a (see DelayLoad.cmake), whole or not at all: the delay-load import
# library of the functions (with a call thunk) and the DLL name of mingw-w64's import library.
#
#   cmake -DNAME=uxtheme -DIMPORT_LIBRARY=<mingw-w64's libuxtheme.a>
#         -DDLLTOOL=<dlltool> -DNM=<nm> -DFOLDER=<output folder>
#         -P delay-load-library.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${DLLTOOL} --identify ${IMPORT_LIBRARY}
    OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${NM} -g --defined-only ${IMPORT_LIBRARY}
    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[^\n]* T [^\n]+" thunks "${symbols}")
list(TRANSFORM thunks REPLACE ".* T " "")
list(SORT thunks)
list(REMOVE_DUPLICATES thunks)
if(NOT thunks)
    message(FATAL_ERROR "${IMPORT_LIBRARY} offers no function to import from ${NAME}")
endif()
list(JOIN thunks "\n" exports)
file(WRITE ${FOLDER}/${NAME}.def "LIBRARY \"${dll}\"\nEXPORTS\n${exports}\n")
# dlltool's assembler leaves temporary files behind: in a folder of their own,
# removed afterwards.
set(temporary ${FOLDER}/${NAME}.tmp)
file(REMOVE_RECURSE ${temporary})
file(MAKE_DIRECTORY ${temporary})
execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${temporary}
                        ${DLLTOOL} --input-def ${NAME}.def --dllname ${dll}
                        --temp-prefix ${NAME}.tmp/delay --output-delaylib lib${NAME}.a.partial
    WORKING_DIRECTORY ${FOLDER} COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${temporary})
file(RENAME ${FOLDER}/lib${NAME}.a.partial ${FOLDER}/lib${NAME}.a)
