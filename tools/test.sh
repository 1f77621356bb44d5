#!/usr/bin/env bash
# Builds everything and runs every test: the normal build (both flavours),
# then the debug flavour again under AddressSanitizer + UBSan.
# GL tests need an X display, so the suites run inside one Xvfb server.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

# Relative paths in the compiler cache key, so clones in other folders share hits.
export CCACHE_BASEDIR="$PWD"
jobs=$(nproc)
run_suite() {
    local preset=$1
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j"$jobs"
    # -noreset: by default Xvfb resets whenever its last client leaves, and a
    # test connecting during the reset has its connection cut (SIGPIPE).
    # Mesa's shader disk cache off: its writer thread still runs at exit, where
    # LeakSanitizer's thread tracer then crashes now and then; the tests leave
    # the user's cache alone too.
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
        env SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 MESA_SHADER_CACHE_DISABLE=true \
            ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
            LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0" \
            UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        ctest --preset "$preset"
}

start=$SECONDS
run_suite default
run_suite asan
echo "tools/test.sh: all suites passed in $((SECONDS - start)) s"
