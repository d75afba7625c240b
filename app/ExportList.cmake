# Writes the linker's list of the symbols a program exports for the modules it loads: every
# symbol a module defines itself. Where the program has the same one, the module then uses the
# program's (one copy of the number formats, of the error reporter); the rest of the program's
# thousands of symbols stay its own, which keeps its start and its memory small.
# Run as: cmake -DNM=... -DMODULES=first;second -DOUTPUT=... -P ExportList.cmake
set(listing "")
foreach(module IN LISTS MODULES)
    execute_process(COMMAND ${NM} -D --defined-only --format=posix ${module}
        OUTPUT_VARIABLE defined RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${NM} could not read ${module}")
    endif()
    string(APPEND listing "${defined}")
endforeach()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(names "")
foreach(line IN LISTS lines)
    string(REGEX REPLACE " .*" "" name "${line}")
    list(APPEND names "${name}")
endforeach()
list(REMOVE_DUPLICATES names)
set(text "{\n")
foreach(name IN LISTS names)
    # Quoted, so that a name is never read as a pattern.
    string(APPEND text "  \"${name}\";\n")
endforeach()
string(APPEND text "};\n")
file(WRITE ${OUTPUT}.new "${text}")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
