# Compiler settings shared by every target of ours. Third-party code never sees -Werror.
set(KL_WARNINGS -Wall -Wextra -Wpedantic)
if(KL_WERROR)
    list(APPEND KL_WARNINGS -Werror)
endif()

if(KL_SANITIZE STREQUAL "address")
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
elseif(KL_SANITIZE STREQUAL "thread")
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    # g++ warns that TSan cannot see std::atomic_thread_fence, which Boost.Asio uses internally; the
    # warning is about Asio's internals, not ours, and -Werror must not stop the build on it.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        add_compile_options(-Wno-tsan)
    endif()
    add_link_options(-fsanitize=thread)
elseif(NOT KL_SANITIZE STREQUAL "")
    message(FATAL_ERROR "KL_SANITIZE must be empty, 'address' or 'thread'")
endif()

# Qt meets Boost and C headers here: keep Qt's keywords out of the way.
add_compile_definitions(QT_NO_KEYWORDS)

# kl_library(NAME sources... ) : one static library per src/ folder, warnings on.
function(kl_target_defaults target)
    target_compile_options(${target} PRIVATE ${KL_WARNINGS})
endfunction()
