# Core parts of the shell (plain C++, in knokle_core).
set(KNOKLE_SHELL_CORE_SOURCES
)
# Qt parts of the shell (in knokle_ui).
set(KNOKLE_SHELL_UI_SOURCES
)
# The composition root.
set(KNOKLE_APP_SOURCES
    src/shell/main.cpp
)
