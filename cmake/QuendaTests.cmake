# quenda_add_test(NAME sources... [LIBS libs...] [FILES VAR=target...])
# A GoogleTest program for Windows, run by ctest under wine. It finds the built
# launcher and demo client through QUENDA_EXE and DEMOCLIENT_EXE, and each
# further built file named under FILES through its variable.
function(quenda_windows_path out unix_path)
  string(REPLACE "/" "\\" p "${unix_path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()

function(quenda_add_test name)
  cmake_parse_arguments(T "" "" "LIBS;FILES" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE quenda_testsupport gtest gtest_main ${T_LIBS})
  add_dependencies(${name} Quenda DemoClient)
  add_test(NAME ${name} COMMAND ${name})
  quenda_windows_path(launcher_path "${CMAKE_BINARY_DIR}/launcher/Quenda.exe")
  quenda_windows_path(client_path "${CMAKE_BINARY_DIR}/democlient/DemoClient.exe")
  set(environment "QUENDA_EXE=${launcher_path}" "DEMOCLIENT_EXE=${client_path}")
  foreach(file IN LISTS T_FILES)
    string(REPLACE "=" ";" parts "${file}")
    list(GET parts 0 variable)
    list(GET parts 1 target)
    add_dependencies(${name} ${target})
    # Wine takes the build folder as drive Z:, and forward slashes as separators.
    list(APPEND environment "${variable}=Z:$<TARGET_FILE:${target}>")
  endforeach()
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${environment}"
    TIMEOUT 900)
endfunction()
