add_executable(native_invocation_tests ${QUENDA_ROOT}/launcher/invocation.cpp ${QUENDA_ROOT}/tests/unit/invocation_test.cpp)
target_link_libraries(native_invocation_tests PRIVATE GTest::gtest_main)
add_test(NAME native_invocation_tests COMMAND native_invocation_tests)

add_executable(native_process_match_tests ${QUENDA_ROOT}/launcher/process_match.cpp ${QUENDA_ROOT}/launcher/tests/process_match_test.cpp)
target_link_libraries(native_process_match_tests PRIVATE GTest::gtest_main)
add_test(NAME native_process_match_tests COMMAND native_process_match_tests)
