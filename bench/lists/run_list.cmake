# Runs the saved list LIST through chainbench over SAMPLE (sample.txt when not
# given) and compares the output with LIST.expected.
if(NOT SAMPLE)
  set(SAMPLE sample.txt)
endif()
execute_process(COMMAND ${CHAINBENCH} ${LISTS}/${LIST}.fll ${LISTS}/${SAMPLE} ${OUT}/${LIST}.out
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "chainbench ${LIST}.fll exited with ${result}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${LIST}.out ${LISTS}/${LIST}.expected
                RESULT_VARIABLE different)
if(different)
  message(FATAL_ERROR "chainbench ${LIST}.fll: ${OUT}/${LIST}.out differs from ${LIST}.expected")
endif()
