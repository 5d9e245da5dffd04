# Runs one example host (cmake -DEMULATOR=... -DPROGRAM=... -P RunExample.cmake) and passes when
# it exits 0 and reports noise a low-pass near 500 Hz made quieter by as much as theory says: a
# second-order low-pass passes about 1/40 of white noise's power at 44.1 kHz, some -16 dB.
# Unchanged or silenced buffers, or a preset or value that did not reach the filter, fall outside.
execute_process(COMMAND ${EMULATOR} ${PROGRAM} RESULT_VARIABLE status OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
message("${out}${err}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the example exited with ${status}")
endif()
if(NOT out MATCHES "Muffler at 500 Hz: noise RMS [0-9.]+ -> [0-9.]+ \\(-([0-9]+)\\.[0-9] dB\\)")
  message(FATAL_ERROR "the example did not report a drop in level")
endif()
if(CMAKE_MATCH_1 LESS 13 OR CMAKE_MATCH_1 GREATER 19)
  message(FATAL_ERROR "a drop of ${CMAKE_MATCH_1} dB is not a 500 Hz low-pass on white noise")
endif()
