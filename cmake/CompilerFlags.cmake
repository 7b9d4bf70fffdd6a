# Warnings and sanitizers for every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic -Wno-gnu-zero-variadic-macro-arguments)
if(NETLATCH_WARNINGS_AS_ERRORS)
    add_compile_options(-Werror)
endif()
if(NETLATCH_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
add_compile_definitions(QT_NO_KEYWORDS QT_USE_QSTRINGBUILDER)
# The programs load only the libraries they use.
add_link_options(LINKER:--as-needed)
# Nothing of ours is exported unless marked: the dynamic loader binds only what a plugin must reach
# (common/PluginApi.h), and the compiler may inline and drop the rest.
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
