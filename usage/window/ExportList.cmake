# Writes the linker's list of the symbols a program exports for the Usage window's module: every
# symbol the module defines itself. Where the program has the same one, the module then uses the
# program's (one copy of the number formats, of the error reporter); the rest of the program's
# thousands of symbols stay its own, which keeps its start and its memory small.
# Run as: cmake -DNM=... -DMODULE=... -DOUTPUT=... -P ExportList.cmake
execute_process(COMMAND ${NM} -D --defined-only --format=posix ${MODULE}
    OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${NM} could not read ${MODULE}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(text "{\n")
foreach(line IN LISTS lines)
    string(REGEX REPLACE " .*" "" name "${line}")
    # Quoted, so that a name is never read as a pattern.
    string(APPEND text "  \"${name}\";\n")
endforeach()
string(APPEND text "};\n")
file(WRITE ${OUTPUT}.new "${text}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
