# The README's piped example: its command, run with PROGRAM in place of
# ./build/release/dep, prints the README's output for it (the package's
# test; the process harness runs it too, and under Wine).
#   cmake -DPROGRAM=... -P readme_example_test.cmake
include(${CMAKE_CURRENT_LIST_DIR}/documents.cmake)

readme_block(piped-example command)
readme_block(piped-output expected)
if(NOT command MATCHES "^(.+) \\| \\./build/release/dep$")
  message(FATAL_ERROR "README.md: the piped example does not end in \"| ./build/release/dep\"")
endif()
check_folder(folder)
execute_process(COMMAND sh -c "${CMAKE_MATCH_1} | \"$@\"" sh "${PROGRAM}"
  OUTPUT_FILE ${folder}/output RESULT_VARIABLE status)
expect_file("README.md is stale: its piped example (${command}) does not print its piped output"
  "README.md <!-- piped-output -->" "${expected}" "${PROGRAM}" ${folder}/output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the README's piped example ends with status ${status}")
endif()
