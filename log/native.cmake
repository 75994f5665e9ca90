add_executable(native_log_tests ${QUENDA_ROOT}/log/log_message.cpp ${QUENDA_ROOT}/log/loggers.cpp
    ${QUENDA_ROOT}/tests/unit/log_test.cpp)
target_link_libraries(native_log_tests PRIVATE GTest::gtest_main)
add_test(NAME native_log_tests COMMAND native_log_tests)
