# Compiler settings shared by every target of the project.

set(NIMBO_SANITIZER "" CACHE STRING "Sanitizer for native builds: address (with undefined), thread, or fuzzer (clang: libFuzzer with address and undefined)")

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    set(NIMBO_WINDOWS ON)
else()
    set(NIMBO_WINDOWS OFF)
endif()

if(MSVC)
    # /EHa lets the per-thread structured exception translator turn hardware
    # faults into language exceptions inside the guarded frame handlers.
    add_compile_options(/W4 /WX /EHa /utf-8 /permissive-)
    add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _CRT_SECURE_NO_WARNINGS)
else()
    add_compile_options(-Wall -Wextra -Werror -Wno-missing-field-initializers)
    # Hardware faults inside guarded bodies must unwind as language exceptions
    # (signal handler on Linux, vectored handler on mingw).
    add_compile_options(-fnon-call-exceptions)
    if(NIMBO_WINDOWS)
        add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00)
        # Executables and DLLs carry their C++ runtime: they run with only
        # Windows system DLLs beside them (and under Wine without extra files).
        add_link_options(-static -static-libgcc -static-libstdc++)
    endif()
endif()

if(NIMBO_SANITIZER STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(NIMBO_SANITIZER STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
elseif(NIMBO_SANITIZER STREQUAL "fuzzer")
    # Every object gets the fuzzer's coverage instrumentation; only the fuzz
    # targets link its driver (fuzz/CMakeLists.txt).
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(NOT NIMBO_SANITIZER STREQUAL "")
    message(FATAL_ERROR "NIMBO_SANITIZER must be empty, 'address', 'thread' or 'fuzzer'")
endif()

# GoogleTest is built from Debian's sources (libgtest-dev ships them) so that
# the native sanitizer builds and the mingw builds get a matching copy.
function(nimbo_add_googletest)
    if(TARGET gtest)
        return()
    endif()
    set(GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(${GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
    foreach(t gtest gtest_main gmock gmock_main)
        if(TARGET ${t})
            target_compile_options(${t} PRIVATE -w)
        endif()
    endforeach()
endfunction()
