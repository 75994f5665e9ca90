# The update subsystem's pure rules, built natively under the sanitizers:
# unit tests and fuzz targets.
add_executable(native_update_rules_tests ${QUENDA_ROOT}/update/archive_rules.cpp
    ${QUENDA_ROOT}/update/tests/archive_rules_test.cpp)
target_link_libraries(native_update_rules_tests PRIVATE GTest::gtest_main)
add_test(NAME native_update_rules_tests COMMAND native_update_rules_tests)

quenda_add_fuzzer(fuzz_update_entry_name ${QUENDA_ROOT}/update/archive_rules.cpp
    ${QUENDA_ROOT}/update/fuzz/fuzz_entry_name.cpp)
quenda_add_fuzzer(fuzz_update_entry_metadata ${QUENDA_ROOT}/update/archive_rules.cpp
    ${QUENDA_ROOT}/update/fuzz/fuzz_entry_metadata.cpp)
