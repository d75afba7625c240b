# Compiles the help project with chmcmd in a folder of its own and places PuloHelp.chm in
# each destination. A failed compile (or an empty result) stops the build and leaves no file.
# -D CHMCMD=... -D SOURCE=... -D WORK=... -D DESTINATIONS="a;b"
file(REMOVE_RECURSE ${WORK})
file(COPY ${SOURCE}/ DESTINATION ${WORK} PATTERN "*.cmake" EXCLUDE PATTERN "CMakeLists.txt" EXCLUDE)
execute_process(COMMAND ${CHMCMD} --verbosity 1 PuloHelp.hhp WORKING_DIRECTORY ${WORK}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
set(chm ${WORK}/PuloHelp.chm)
file(SIZE ${chm} size)
if(NOT result EQUAL 0 OR size EQUAL 0)
    foreach(destination IN LISTS DESTINATIONS)
        file(REMOVE ${destination}/PuloHelp.chm)
    endforeach()
    message(FATAL_ERROR "chmcmd failed (${result}):\n${output}")
endif()
foreach(destination IN LISTS DESTINATIONS)
    file(COPY ${chm} DESTINATION ${destination})
endforeach()
