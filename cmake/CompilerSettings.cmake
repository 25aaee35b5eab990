# Warnings, sanitizers and the guard that keeps platform headers out of the portable core.

add_library(hovermark_compile_options INTERFACE)
target_include_directories(hovermark_compile_options INTERFACE ${PROJECT_SOURCE_DIR})

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(hovermark_compile_options INTERFACE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual
        -Wimplicit-fallthrough -Werror=suggest-override)
    if(HOVERMARK_WARNINGS_AS_ERRORS)
        target_compile_options(hovermark_compile_options INTERFACE -Werror)
    endif()
    if(HOVERMARK_SANITIZE)
        target_compile_options(hovermark_compile_options INTERFACE
            -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
        target_link_options(hovermark_compile_options INTERFACE -fsanitize=address,undefined)
    endif()
elseif(MSVC)
    target_compile_options(hovermark_compile_options INTERFACE /W4 /permissive- /utf-8)
    if(HOVERMARK_WARNINGS_AS_ERRORS)
        target_compile_options(hovermark_compile_options INTERFACE /WX)
    endif()
endif()

# Core libraries see a folder of headers named like the platforms' own, each of which stops the build, ahead
# of every system include path: a platform include slipping into the core fails to compile.
function(hovermark_core_library name)
    add_library(${name} STATIC ${ARGN})
    target_link_libraries(${name} PUBLIC hovermark_compile_options)
    target_include_directories(${name} BEFORE PRIVATE ${PROJECT_SOURCE_DIR}/tools/forbidden_headers)
endfunction()
