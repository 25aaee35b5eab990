# The icon file for the Windows resources, written from the core's pixel art by tools/write_icon_file.cpp.
# A native build runs the tool it built; a cross build compiles the tool for the build machine first.

function(hovermark_icon_file output)
    set(sources ${PROJECT_SOURCE_DIR}/tools/write_icon_file.cpp ${PROJECT_SOURCE_DIR}/main_window/pictures.cpp)
    if(CMAKE_CROSSCOMPILING)
        find_program(HOVERMARK_HOST_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
        set(tool ${CMAKE_CURRENT_BINARY_DIR}/write_icon_file_host)
        add_custom_command(OUTPUT ${tool}
            COMMAND ${HOVERMARK_HOST_CXX} -std=c++20 -O1 -I${PROJECT_SOURCE_DIR} ${sources} -o ${tool}
            DEPENDS ${sources} ${PROJECT_SOURCE_DIR}/main_window/pictures.h
            COMMENT "Building the icon writer for the build machine")
        set(tool_dependency ${tool})
    else()
        set(tool $<TARGET_FILE:hovermark_write_icon_file>)
        set(tool_dependency hovermark_write_icon_file)
    endif()
    add_custom_command(OUTPUT ${output}
        COMMAND ${tool} ${output}
        DEPENDS ${tool_dependency}
        COMMENT "Writing the program icon from its pixel art")
endfunction()
