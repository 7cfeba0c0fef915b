# Windows tests of the online plug-in: its export table, its window side in
# a test program of its own, and the real library in ZentrikWin.exe.
# Included from tests/CMakeLists.txt in the Windows builds.

# The ten entry points, exactly, as the toolchain's objdump lists them: no
# @N decoration on the 32-bit build, nothing else exported.
set(online_exports _vorn_init _vorn_shutdown _vorn_configuration _vorn_about _vorn_addtask
    _vorn_removetask _vorn_taskstarted _vorn_taskstopped _vorn_autosave _vorn_savereport)
string(REPLACE ";" "," online_exports "${online_exports}")
add_test(NAME online_plugin_exports
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP}
        -DLIBRARY=$<TARGET_FILE:vorn_KovReport> -DEXPECTED=${online_exports}
        -P ${CMAKE_CURRENT_SOURCE_DIR}/plugins/check_exports.cmake)

# The dialogs, boxes and entry points linked into this program with the
# plug-in's resources, driven from a second thread.
add_executable(online_win_tests
    online/online_win_test.cpp
    e2e/driver.cpp
    support/tempdir.cpp)
target_link_libraries(online_win_tests PRIVATE zentrik_online_win32 GTest::gtest_main psapi user32 shell32)
target_compile_definitions(online_win_tests PRIVATE ZENTRIK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
zentrik_add_online_resources(online_win_tests)
add_test(NAME online_win_tests COMMAND online_win_tests)

# ZentrikWin.exe with the real plug-in, against a scripted service on
# loopback in the test program.
add_executable(online_e2e_tests
    e2e/online_e2e_test.cpp
    e2e/driver.cpp
    support/tempdir.cpp)
target_link_libraries(online_e2e_tests PRIVATE zentrik_options zentrik_script_server GTest::gtest_main
    psapi user32 shell32)
add_dependencies(online_e2e_tests ZentrikWin vorn_KovReport)
add_test(NAME online_e2e_tests
    COMMAND online_e2e_tests $<TARGET_FILE:ZentrikWin> $<TARGET_FILE:vorn_KovReport>)
set_tests_properties(online_e2e_tests PROPERTIES RESOURCE_LOCK zentrik_single_instance)
