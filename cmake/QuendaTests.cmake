# quenda_add_test(NAME sources... [LIBS libs...])
# A GoogleTest program for Windows, run by ctest under wine. It finds the built
# launcher and demo client through QUENDA_EXE and DEMOCLIENT_EXE.
function(quenda_windows_path out unix_path)
  string(REPLACE "/" "\\" p "${unix_path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()

function(quenda_add_test name)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE quenda_testsupport gtest gtest_main ${T_LIBS})
  add_dependencies(${name} Quenda DemoClient)
  add_test(NAME ${name} COMMAND ${name})
  quenda_windows_path(launcher_path "${CMAKE_BINARY_DIR}/launcher/Quenda.exe")
  quenda_windows_path(client_path "${CMAKE_BINARY_DIR}/democlient/DemoClient.exe")
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QUENDA_EXE=${launcher_path};DEMOCLIENT_EXE=${client_path}"
    TIMEOUT 900)
endfunction()
