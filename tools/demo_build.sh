# Sourced by the demo scripts: the build the demo runs (TAVREL_DEMO_BUILD=win32, as
# ./dev demo --32 sets it, is the shipped i686 build in the 32-bit Wine environment; the x86_64
# build otherwise), its programs and the Wine that runs them. Expects $root.
build="${TAVREL_DEMO_BUILD:-win64}"
bin="$root/build/$build/bin"
if [ "$build" = win32 ]; then
  wine_run="$root/tools/wine32-run"
else
  wine_run="$root/tools/wine-run"
fi
run() { "$wine_run" "$@"; }
