# ZentrikWin's resources: shell/zentrik.rc with the icons made from the
# pictures in shell/icons/, compiled once into an object file that
# zentrik_add_resources(target) links into a Windows executable.
#
# windres runs as a custom command rather than through CMake's RC language
# so that it gets -c 65001 (the script is UTF-8) and depends on the generated
# icons and on resource.h.
#
# The functions use no variable of the including directory: include_guard
# skips this file when a second directory includes it, and functions run in
# their caller's scope.
include_guard(GLOBAL)

function(zentrik_resource_object result)
    set(${result} ${CMAKE_BINARY_DIR}/zentrik_resources/zentrik_rc.o PARENT_SCOPE)
endfunction()

# The rules are made on the first call, in the caller's directory; targets of
# other directories link the object through the zentrik_resources target.
function(zentrik_make_resource_rules)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    set(shell_dir ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
    set(out ${CMAKE_BINARY_DIR}/zentrik_resources)
    zentrik_resource_object(object)
    set(icons)
    foreach(name cog alarm_clock stopwatch floppy)
        add_custom_command(
            OUTPUT ${out}/${name}.ico
            COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
            COMMAND Python3::Interpreter ${shell_dir}/icons/make_ico.py
                    ${shell_dir}/icons/${name}.txt ${out}/${name}.ico
            DEPENDS ${shell_dir}/icons/make_ico.py ${shell_dir}/icons/${name}.txt
            COMMENT "Making icon ${name}.ico"
            VERBATIM)
        list(APPEND icons ${out}/${name}.ico)
    endforeach()
    # windres finds the ICON files and zentrik_version.h (made by the top
    # CMakeLists.txt) through the include path.
    add_custom_command(
        OUTPUT ${object}
        COMMAND ${CMAKE_RC_COMPILER} --codepage=65001 -O coff -I ${shell_dir} -I ${out}
                -I ${CMAKE_BINARY_DIR} -i ${shell_dir}/zentrik.rc -o ${object}
        DEPENDS ${shell_dir}/zentrik.rc ${shell_dir}/resource.h
                ${CMAKE_BINARY_DIR}/zentrik_version.h ${icons}
        COMMENT "Compiling zentrik.rc"
        VERBATIM)
    add_custom_target(zentrik_resources DEPENDS ${object})
endfunction()

function(zentrik_add_resources target)
    if(NOT WIN32)
        message(FATAL_ERROR "zentrik_add_resources(${target}): resources belong to the Windows build")
    endif()
    if(NOT CMAKE_RC_COMPILER)
        message(FATAL_ERROR "zentrik_add_resources(${target}): the toolchain names no CMAKE_RC_COMPILER (windres)")
    endif()
    if(NOT TARGET zentrik_resources)
        zentrik_make_resource_rules()
    endif()
    zentrik_resource_object(object)
    target_sources(${target} PRIVATE ${object})
    add_dependencies(${target} zentrik_resources)
endfunction()
