# Compiler flags shared by every target: warnings are errors, sanitizers on request.

add_compile_options(-Wall -Wextra -Wpedantic -Werror -Wno-unused-parameter)

if(VKIT_SANITIZE)
    add_compile_options(-fsanitize=${VKIT_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${VKIT_SANITIZE})
endif()
