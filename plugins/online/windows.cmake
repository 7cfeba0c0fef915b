# The plug-in library vorn_KovReport.dll, Windows builds only: the core's
# logic with the window side (dialogs, message boxes, entry points) and the
# library's own resources. Included from this folder's CMakeLists.txt.
#
# The window side is an object library so that a Windows test program can
# link the same objects (with the same resources) and call the entry points
# and dialogs directly; the DLL adds only DllMain and the export list.

find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(online_res ${CMAKE_CURRENT_BINARY_DIR}/resources)
set(online_rc_object ${online_res}/vorn_KovReport_rc.o)
# Kept in the cache so that zentrik_add_online_resources works from any
# directory (a function runs in its caller's scope).
set(ZENTRIK_ONLINE_RC_OBJECT ${online_rc_object} CACHE INTERNAL "")
add_custom_command(
    OUTPUT ${online_res}/online.ico
    COMMAND ${CMAKE_COMMAND} -E make_directory ${online_res}
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/shell/icons/make_ico.py
            ${CMAKE_CURRENT_SOURCE_DIR}/icons/online.txt ${online_res}/online.ico
    DEPENDS ${CMAKE_SOURCE_DIR}/shell/icons/make_ico.py ${CMAKE_CURRENT_SOURCE_DIR}/icons/online.txt
    COMMENT "Making icon online.ico"
    VERBATIM)
# windres runs as a custom command so that it reads the UTF-8 script with
# code page 65001 and depends on the icon and the ids.
add_custom_command(
    OUTPUT ${online_rc_object}
    COMMAND ${CMAKE_RC_COMPILER} --codepage=65001 -O coff -I ${CMAKE_CURRENT_SOURCE_DIR} -I ${online_res}
            -i ${CMAKE_CURRENT_SOURCE_DIR}/vorn_KovReport.rc -o ${online_rc_object}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/vorn_KovReport.rc ${CMAKE_CURRENT_SOURCE_DIR}/online_resource.h
            ${online_res}/online.ico
    COMMENT "Compiling vorn_KovReport.rc"
    VERBATIM)
add_custom_target(zentrik_online_resources DEPENDS ${online_rc_object})

add_library(zentrik_online_win32 OBJECT
    online_dialogs_win32.cpp
    online_messages_win32.cpp
    online_plugin_win32.cpp)
target_link_libraries(zentrik_online_win32 PUBLIC zentrik_online_core zentrik_options
    user32 shell32 wsock32)
add_dependencies(zentrik_online_win32 zentrik_online_resources)

# Links the plug-in's resources into `target` (the DLL, or a test program
# that stands in for it).
function(zentrik_add_online_resources target)
    target_sources(${target} PRIVATE ${ZENTRIK_ONLINE_RC_OBJECT})
    add_dependencies(${target} zentrik_online_resources)
endfunction()

add_library(vorn_KovReport SHARED dllmain_win32.cpp vorn_KovReport.def)
target_link_libraries(vorn_KovReport PRIVATE zentrik_online_win32)
zentrik_add_online_resources(vorn_KovReport)
set_target_properties(vorn_KovReport PROPERTIES PREFIX "" OUTPUT_NAME vorn_KovReport)
