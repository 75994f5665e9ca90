add_executable(native_config_rules_tests ${QUENDA_ROOT}/config/config_rules.cpp ${QUENDA_ROOT}/tests/unit/config_rules_test.cpp)
target_link_libraries(native_config_rules_tests PRIVATE GTest::gtest_main)
add_test(NAME native_config_rules_tests COMMAND native_config_rules_tests)
