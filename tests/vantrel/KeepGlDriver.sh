# Sourced by the program tests; they start the game as `"${keep_gl_driver[@]}" "$game"`.
# Mesa's software driver stays loaded to the end, as the GL tests pin it: SDL
# unloads it at exit, and its own leaks would then be reported from an
# unknown module that no suppression can name. The sanitizer build accepts
# the preload only with its link-order check off.
keep_gl_driver=(env)
driver=$(ls /usr/lib/*/dri/swrast_dri.so 2>/dev/null | head -n 1)
if [[ -n $driver ]]; then
    keep_gl_driver+=("LD_PRELOAD=$driver${LD_PRELOAD:+:$LD_PRELOAD}"
                     "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0")
fi
