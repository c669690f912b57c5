# Generates the sample into OUT and compares every file with the committed FEED.
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${GENERATOR} ${TABLE} ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the generator failed on ${TABLE}")
endif()
foreach(name agency calendar routes stops trips stop_times)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${name}.txt
        ${FEED}/${name}.txt RESULT_VARIABLE differs)
    if(differs)
        message(FATAL_ERROR "${FEED}/${name}.txt is not what ${TABLE} gives: "
            "build the sample-feed target and commit the result")
    endif()
endforeach()
