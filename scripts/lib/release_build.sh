# Building the release program from a script (sourced by scripts/run, tools/screenshot/screenshot
# and tools/soak).
#   build_release TARGET...   configures build/release (optimized, no benchmarks) and builds the
#                             targets named; sets release_build to the build folder

release_build=build/release

build_release() {
  cmake -S . -B "$release_build" -DCMAKE_BUILD_TYPE=Release -DORVELLE_BENCH=OFF >/dev/null
  cmake --build "$release_build" -j"$(nproc)" --target "$@"
}
