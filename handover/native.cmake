add_executable(native_handover_rules_tests ${QUENDA_ROOT}/handover/message_buffer.cpp
    ${QUENDA_ROOT}/handover/tests/message_buffer_test.cpp)
target_link_libraries(native_handover_rules_tests PRIVATE GTest::gtest_main)
add_test(NAME native_handover_rules_tests COMMAND native_handover_rules_tests)
