add_executable(native_integration_rules_tests
    ${QUENDA_ROOT}/integration/open_command.cpp
    ${QUENDA_ROOT}/integration/shortcut_rules.cpp
    ${QUENDA_ROOT}/integration/tests/integration_rules_test.cpp)
target_link_libraries(native_integration_rules_tests PRIVATE GTest::gtest_main)
add_test(NAME native_integration_rules_tests COMMAND native_integration_rules_tests)
